#include "platform/files.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <cerrno>
#include <cstring>

namespace numtrail {
namespace {

// Qt reports some short writes with its generic text only ("Unknown error"); errno, read
// right after the failed call, still holds the system's reason (a full disk, a size limit).
QString ReasonOf(const QFileDevice& file, int cause = 0) {
    static const QString generic = QFile().errorString();
    const QString reason = file.errorString();
    if (!reason.isEmpty() && reason != generic) return reason;
    return cause != 0 ? QString::fromLocal8Bit(std::strerror(cause))
                      : QStringLiteral("文件未能完整写入");
}

}  // namespace

FileReadResult DiskFileStore::ReadAll(const QString& path) {
    FileReadResult result;
    if (QFileInfo(path).isDir()) {
        result.error = QStringLiteral("这是一个文件夹");
        return result;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        result.error = file.errorString();
        return result;
    }
    result.bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        result.bytes.clear();
        result.error = file.errorString();
        return result;
    }
    result.ok = true;
    return result;
}

FileWriteResult DiskFileStore::WriteAtomically(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return {false, ReasonOf(file)};
    // A payload smaller than the write buffer reaches the disk only when it is flushed, and
    // commit() does not report a failure at that point: flush here and check it. A short
    // write is a failure like any other.
    errno = 0;
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        const QString reason = ReasonOf(file, errno);
        file.cancelWriting();  // the temporary file goes with the QSaveFile
        return {false, reason};
    }
    if (!ReplaceTarget(file)) return {false, ReasonOf(file)};
    return {true, QString()};
}

bool DiskFileStore::ReplaceTarget(QSaveFile& file) { return file.commit(); }

}  // namespace numtrail
