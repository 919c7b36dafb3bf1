#include "platform/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

namespace numtrail {
namespace {

std::filesystem::path ResolvedTarget(const std::filesystem::path& target) {
    std::error_code error;
    if (!std::filesystem::is_symlink(target, error)) return target;
    const std::filesystem::path resolved = std::filesystem::weakly_canonical(target, error);
    return error ? target : resolved;
}

// ".name.PID-N.tmp" beside the target: hidden, and never the name of another writer's file.
std::filesystem::path TempNameFor(const std::filesystem::path& target) {
    static std::atomic<unsigned> counter{0};
    // Appended piece by piece: g++ 12 warns (-Wrestrict) about "." + std::string.
    std::string name(".");
    name += target.filename().string();
    name += '.';
    name += std::to_string(::getpid());
    name += '-';
    name += std::to_string(counter++);
    name += ".tmp";
    return target.parent_path() / name;
}

}  // namespace

AtomicFileWriter::AtomicFileWriter(const std::filesystem::path& target)
    : target_(ResolvedTarget(target)), shown_(target) {
    std::error_code ignored;
    if (std::filesystem::is_directory(target_, ignored)) {
        Fail("cannot write " + shown_.string(), EISDIR);
        return;
    }
    for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
        temp_ = TempNameFor(target_);
        fd_ = ::open(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ < 0 && errno != EEXIST) break;
    }
    if (fd_ < 0) {
        Fail("cannot create a file beside " + shown_.string(), errno);
        return;
    }
    temp_exists_ = true;
    // A replaced file keeps its permissions; a new one has those the umask leaves.
    struct stat old {};
    if (::stat(target_.c_str(), &old) == 0 && ::fchmod(fd_, old.st_mode & 07777) != 0)
        Fail("cannot write " + shown_.string(), errno);
}

AtomicFileWriter::~AtomicFileWriter() {
    if (!committed_) Discard();
}

bool AtomicFileWriter::Write(std::string_view bytes) { return Write(bytes.data(), bytes.size()); }

int WriteWhole(int fd, const void* data, std::size_t size) {
    const char* next = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t put = ::write(fd, next, size);
        if (put < 0 && errno == EINTR) continue;
        // A write that makes no progress is a full disk even when the system names no cause.
        if (put <= 0) return put < 0 ? errno : ENOSPC;
        next += put;
        size -= static_cast<std::size_t>(put);
    }
    return 0;
}

bool AtomicFileWriter::Write(const void* data, std::size_t size) {
    if (!Ok()) return false;
    if (const int cause = WriteWhole(fd_, data, size); cause != 0)
        return Fail("cannot write " + shown_.string(), cause);
    return true;
}

bool AtomicFileWriter::Commit() {
    if (!Ok()) return false;
    // A delayed write fault shows up in fsync or close; both come before the rename.
    if (::fsync(fd_) != 0) return Fail("cannot write " + shown_.string(), errno);
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) return Fail("cannot write " + shown_.string(), errno);
    if (::rename(temp_.c_str(), target_.c_str()) != 0)
        return Fail("cannot replace " + shown_.string(), errno);
    committed_ = true;
    // Make the rename itself durable; the content is in place whatever this answers.
    const std::filesystem::path folder =
        target_.has_parent_path() ? target_.parent_path() : std::filesystem::path(".");
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

bool AtomicFileWriter::Fail(const std::string& what, int cause) {
    if (error_.empty()) error_ = what + ": " + std::strerror(cause);
    Discard();
    return false;
}

void AtomicFileWriter::Discard() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (temp_exists_ && !committed_) {
        ::unlink(temp_.c_str());
        temp_exists_ = false;
    }
}

bool IsStreamTarget(const std::filesystem::path& path) {
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(path, error);
    return !error && std::filesystem::exists(status) && !std::filesystem::is_regular_file(status) &&
           !std::filesystem::is_directory(status);
}

AtomicWriteResult WriteFileAtomically(const std::filesystem::path& target, std::string_view bytes) {
    AtomicFileWriter out(target);
    out.Write(bytes);
    if (!out.Commit()) return {false, out.Error()};
    return {true, {}};
}

}  // namespace numtrail
