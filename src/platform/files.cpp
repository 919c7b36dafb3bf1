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

FileReadResult DiskFileStore::ReadAll(const QString& path, qint64 max_bytes) {
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
    const auto too_large = [&result] {
        result.bytes.clear();
        result.too_large = true;
        result.error = QStringLiteral("文件太大");
        return result;
    };
    if (!file.isSequential()) {
        if (file.size() > max_bytes) return too_large();
        result.bytes = file.readAll();
    } else {
        // A pipe or a device tells no size: it is read in pieces until it ends or passes the
        // bound, so that /dev/zero fails instead of filling memory.
        constexpr qint64 kPiece = qint64{1} << 20;
        for (;;) {
            const QByteArray piece = file.read(kPiece);
            if (piece.isEmpty()) break;
            if (piece.size() > max_bytes - result.bytes.size()) return too_large();
            result.bytes += piece;
        }
    }
    if (result.bytes.size() > max_bytes) return too_large();  // grown since it was measured
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
