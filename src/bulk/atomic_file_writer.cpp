#include "bulk/atomic_file_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "bulk/output.h"

namespace numtrail::bulk {

AtomicFileWriter::AtomicFileWriter(const std::filesystem::path& target)
    : target_(target), shown_(target) {
    std::error_code ignored;
    // A link is replaced where it points, not by a file of its own.
    if (std::filesystem::is_symlink(target_, ignored)) {
        const std::filesystem::path resolved = std::filesystem::weakly_canonical(target_, ignored);
        if (!resolved.empty()) target_ = resolved;
    }
    std::filesystem::path dir = target_.parent_path();
    if (dir.empty()) dir = ".";
    std::string pattern = (dir / ("." + target_.filename().string() + ".XXXXXX")).string();
    fd_ = ::mkstemp(pattern.data());
    if (fd_ < 0) {
        Fail("cannot write " + target.string(), errno);
        return;
    }
    temp_ = pattern;
    struct stat existing = {};
    mode_t mode;
    if (::stat(target_.c_str(), &existing) == 0) {
        if (S_ISDIR(existing.st_mode)) {
            Fail("cannot write " + target.string(), EISDIR);
            return;
        }
        mode = existing.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    ::fchmod(fd_, mode);
}

AtomicFileWriter::~AtomicFileWriter() {
    if (fd_ >= 0) ::close(fd_);
    if (!committed_ && !temp_.empty()) ::unlink(temp_.c_str());
}

bool AtomicFileWriter::Fail(const std::string& what, int cause) {
    if (error_.empty()) error_ = what + ": " + std::strerror(cause);
    return false;
}

bool AtomicFileWriter::Write(std::string_view bytes) {
    if (!Ok()) return false;
    return WriteAll(fd_, bytes) || Fail("cannot write " + shown_.string(), errno);
}

bool AtomicFileWriter::Commit() {
    if (!Ok()) return false;
    if (::fsync(fd_) != 0) return Fail("cannot write " + shown_.string(), errno);
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) return Fail("cannot write " + shown_.string(), errno);
    if (::rename(temp_.c_str(), target_.c_str()) != 0)
        return Fail("cannot replace " + shown_.string(), errno);
    committed_ = true;
    return true;
}

}  // namespace numtrail::bulk
