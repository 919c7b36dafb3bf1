#include "platform/files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "platform/atomic_file.h"
#include "platform/platform.h"
#include "platform/qstring_bytes.h"
#include "support/file_size_limit.h"
#include "support/named_pipe.h"
#include "support/scratch_dir.h"

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

// A full disk: the write fails, the old content stays, and no temporary file is left
// behind. A payload smaller than the write buffer reaches the disk only when it is flushed;
// a large one fails while it is written.
TEST(DiskFileStore, FullDiskLeavesTheOldFileIntact) {
    for (const int size : {8 * 1024, 256 * 1024}) {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("export.txt"));
        DiskFileStore store;
        ASSERT_TRUE(store.WriteAtomically(path, "old rows\r\n").ok);

        const FileWriteResult result = [&] {
            const test::FileSizeLimit limit(4096);
            return store.WriteAtomically(path, QByteArray(size, 'x'));
        }();

        EXPECT_FALSE(result.ok) << size;
        EXPECT_FALSE(result.error.isEmpty()) << size;
        EXPECT_EQ(ReadRaw(path), QByteArray("old rows\r\n")) << size;
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
                  QStringList{QStringLiteral("export.txt")})
            << size;
    }
}

// Something takes the target's place just before the rename: the rename fails, and a
// store that ignored it would report a save that never happened.
class TargetTakenBeforeRename : public DiskFileStore {
  public:
    explicit TargetTakenBeforeRename(const QString& target) : target_(target) {}

  protected:
    bool ReplaceTarget(AtomicFileWriter& file) override {
        QFile::remove(target_);
        QDir().mkpath(target_ + QStringLiteral("/inside"));
        return DiskFileStore::ReplaceTarget(file);
    }

  private:
    QString target_;
};

TEST(DiskFileStore, AFailedRenameIsAFailedWrite) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("list.txt"));
    const FileWriteResult result = TargetTakenBeforeRename(path).WriteAtomically(path, "rows\r\n");
    EXPECT_FALSE(result.ok);
    EXPECT_FALSE(result.error.isEmpty());
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

// An export named after a pipe (or a device) goes to its reader, and the pipe stays a pipe.
TEST(DiskFileStore, APipeNamedAsTheTargetIsWrittenInto) {
    const test::ScratchDir dir;
    const test::NamedPipe pipe(dir / "export");
    const FileWriteResult result =
        DiskFileStore().WriteAtomically(QFile::decodeName((dir / "export").c_str()), "rows\r\n");
    EXPECT_TRUE(result.ok) << result.error.toStdString();
    EXPECT_TRUE(pipe.StillAPipe());
    EXPECT_EQ(pipe.Read(), "rows\r\n");
    // A pipe that nobody reads is a failure at once, not a window that waits for a reader.
    ASSERT_EQ(::mkfifo((dir / "unread").c_str(), 0600), 0);
    EXPECT_FALSE(
        DiskFileStore().WriteAtomically(QFile::decodeName((dir / "unread").c_str()), "x").ok);
}

// The window's exports follow the rules of the Qt-free writer: a link planted in a shared
// folder is refused, and what it points to stays as it was.
TEST(DiskFileStore, ALinkInASharedFolderIsRefused) {
    const test::ScratchDir dir;
    std::filesystem::permissions(dir.Path(),
                                 std::filesystem::perms::all | std::filesystem::perms::sticky_bit);
    const std::filesystem::path theirs = test::WriteFile(dir / "theirs.csv", "their rows");
    std::filesystem::create_symlink(theirs, dir / "export.csv");
    const FileWriteResult result =
        DiskFileStore().WriteAtomically(QFile::decodeName((dir / "export.csv").c_str()), "x");
    EXPECT_FALSE(result.ok);
    EXPECT_TRUE(result.error.contains(QStringLiteral("export.csv"))) << result.error.toStdString();
    EXPECT_EQ(test::ReadFile(theirs), "their rows");
}

TEST(DiskFileStore, ReadFailuresAreReportedNotEmpty) {
    QTemporaryDir dir;
    DiskFileStore store;
    const FileReadResult missing = store.ReadAll(dir.filePath(QStringLiteral("missing.txt")));
    EXPECT_FALSE(missing.ok);
    EXPECT_FALSE(missing.error.isEmpty());
    EXPECT_FALSE(store.ReadAll(dir.path()).ok);
}

// A reader's bound: a regular file past it is not read at all, a device that tells no size
// is read only up to it.
TEST(DiskFileStore, FilesPastTheBoundAreNotRead) {
    QTemporaryDir dir;
    DiskFileStore store;
    const QString path = dir.filePath(QStringLiteral("list.txt"));
    ASSERT_TRUE(store.WriteAtomically(path, QByteArray(1000, '1')).ok);
    const FileReadResult at_bound = store.ReadAll(path, 1000);
    EXPECT_TRUE(at_bound.ok);
    EXPECT_EQ(at_bound.bytes.size(), 1000);
    for (const auto& [file, bound] :
         {std::pair{path, qint64{999}}, {"/dev/zero", qint64{5000000}}}) {
        const FileReadResult past = store.ReadAll(file, bound);
        EXPECT_FALSE(past.ok) << file.toStdString();
        EXPECT_TRUE(past.too_large) << file.toStdString();
        EXPECT_TRUE(past.bytes.isEmpty()) << file.toStdString();
    }
}

TEST(QtStrings, CodePageHelpersKeepNulAndChinese) {
    EXPECT_EQ(ToAnsi(QStringLiteral("中文")), QByteArray("\xD6\xD0\xCE\xC4"));
    EXPECT_EQ(FromAnsi(QByteArray("a\0\xD6\xD0", 4)),
              QString(QStringLiteral("a")) + QChar(0) + QStringLiteral("中"));
}

TEST(FileFilter, ProgramFormToQtForm) {
    EXPECT_EQ(ToQtFileFilter(QStringLiteral("文本文件（TXT）|*.txt")),
              QStringLiteral("文本文件（TXT） (*.txt)"));
    EXPECT_EQ(ToQtFileFilter(QStringLiteral("A|*.a|B|*.b;*.c")),
              QStringLiteral("A (*.a);;B (*.b *.c)"));
}

TEST(FileFilter, SaveDialogSuffixGoesOnlyOnANameWithout) {
    const std::pair<const char*, const char*> cases[] = {{"/d/结果", "/d/结果.csv"},
                                                         {"/d/out.csv", "/d/out.csv"},
                                                         {"/d/out.txt", "/d/out.txt"},
                                                         {"/d.x/out", "/d.x/out.csv"}};
    for (const auto& [typed, saved] : cases)
        EXPECT_EQ(WithDefaultSuffix(QString::fromUtf8(typed), QStringLiteral("csv")),
                  QString::fromUtf8(saved));
    EXPECT_EQ(WithDefaultSuffix(QStringLiteral("/d/out"), QString()), QStringLiteral("/d/out"));
}

}  // namespace
}  // namespace numtrail
