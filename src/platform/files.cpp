#include "platform/files.h"

#include <fcntl.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "platform/atomic_file.h"

namespace numtrail {

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
    const std::filesystem::path target(QFile::encodeName(path).toStdString());
    const auto bytes_size = static_cast<std::size_t>(bytes.size());
    if (IsStreamTarget(target)) {
        // A device or a pipe cannot be replaced, and its reader waits on it: write into it. A
        // pipe nobody reads fails at once (ENXIO) rather than hanging the window.
        const int fd = ::open(target.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0 || ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
            const int cause = errno;
            if (fd >= 0) ::close(fd);
            return {false, QString::fromLocal8Bit(std::strerror(cause))};
        }
        int cause = WriteWhole(fd, bytes.constData(), bytes_size);
        if (::close(fd) != 0 && cause == 0) cause = errno;
        if (cause != 0) return {false, QString::fromLocal8Bit(std::strerror(cause))};
        return {true, QString()};
    }
    AtomicFileWriter file(target);
    if (!file.Write(bytes.constData(), bytes_size) || !ReplaceTarget(file))
        return {false, QString::fromLocal8Bit(file.Error())};
    return {true, QString()};
}

bool DiskFileStore::ReplaceTarget(AtomicFileWriter& file) { return file.Commit(); }

}  // namespace numtrail
