#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "platform/files.h"
#include "platform/platform.h"
#include "platform/qstring_bytes.h"

namespace numtrail {
namespace {

QByteArray ReadRaw(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

TEST(DiskFileStore, WritesReplaceWholeFileAndReadBack) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("list.txt"));
    DiskFileStore store;
    ASSERT_TRUE(store.WriteAtomically(path, QByteArray(100, 'a')).ok);
    ASSERT_TRUE(store.WriteAtomically(path, "short\r\n").ok);
    EXPECT_EQ(ReadRaw(path), QByteArray("short\r\n"));
    const FileReadResult read = store.ReadAll(path);
    EXPECT_TRUE(read.ok);
    EXPECT_EQ(read.bytes, QByteArray("short\r\n"));
}

TEST(DiskFileStore, FailedWritesLeaveTheOldFileAndReportAReason) {
    QTemporaryDir dir;
    DiskFileStore store;
    // A folder standing where the file should go.
    const QString folder = dir.filePath(QStringLiteral("taken"));
    ASSERT_TRUE(QDir().mkdir(folder));
    const FileWriteResult onto_folder = store.WriteAtomically(folder, "x");
    EXPECT_FALSE(onto_folder.ok);
    EXPECT_FALSE(onto_folder.error.isEmpty());
    EXPECT_TRUE(QFileInfo(folder).isDir());
    // A folder that does not exist.
    EXPECT_FALSE(store.WriteAtomically(dir.filePath(QStringLiteral("no/such/file.txt")), "x").ok);
}

TEST(DiskFileStore, ReadFailuresAreReportedNotEmpty) {
    QTemporaryDir dir;
    DiskFileStore store;
    const FileReadResult missing = store.ReadAll(dir.filePath(QStringLiteral("missing.txt")));
    EXPECT_FALSE(missing.ok);
    EXPECT_FALSE(missing.error.isEmpty());
    EXPECT_FALSE(store.ReadAll(dir.path()).ok);
}

TEST(QtStrings, CodePageHelpersKeepNulAndChinese) {
    EXPECT_EQ(ToAnsi(QStringLiteral("中文")), QByteArray("\xD6\xD0\xCE\xC4"));
    EXPECT_EQ(FromAnsi(QByteArray("a\0\xD6\xD0", 4)), QString(QStringLiteral("a")) + QChar(0) + QStringLiteral("中"));
}

TEST(FileFilter, ProgramFormToQtForm) {
    EXPECT_EQ(ToQtFileFilter(QStringLiteral("文本文件（TXT）|*.txt")),
              QStringLiteral("文本文件（TXT） (*.txt)"));
    EXPECT_EQ(ToQtFileFilter(QStringLiteral("A|*.a|B|*.b;*.c")),
              QStringLiteral("A (*.a);;B (*.b *.c)"));
}

}  // namespace
}  // namespace numtrail
