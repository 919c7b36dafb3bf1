#include "platform/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

namespace numtrail {
namespace {

namespace fs = std::filesystem;

fs::path FolderOf(const fs::path& path) {
    return path.has_parent_path() ? path.parent_path() : fs::path(".");
}

// A folder with the sticky bit is shared: others may create names in it (a link, say), and
// only their owner can remove or replace them.
bool IsSticky(const fs::path& folder) {
    struct stat status {};
    return ::stat(folder.c_str(), &status) == 0 && (status.st_mode & S_ISVTX) != 0;
}

// Read without changing it: umask() answers only by setting a new mask, which would race with
// other threads creating files.
mode_t CurrentUmask() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("Umask:", 0) == 0)
            return static_cast<mode_t>(std::strtoul(line.c_str() + 6, nullptr, 8) & 0777);
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return mask;
}

constexpr int kMaxLinks = 40;  // as many as the kernel follows in one path

}  // namespace

AtomicFileWriter::AtomicFileWriter(const std::filesystem::path& target)
    : target_(target), shown_(target) {
    if (!ChooseTarget()) return;
    if (in_place_) {
        fd_ = ::open(target_.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
        if (fd_ < 0) Fail("cannot write " + shown_.string(), errno);
        return;
    }
    // mkstemp picks a name nobody can guess in advance and creates the file 0600.
    std::string name = (FolderOf(target_) / ("." + target_.filename().string())).string();
    name += ".XXXXXX";
    fd_ = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd_ < 0) {
        Fail("cannot create a file beside " + shown_.string(), errno);
        return;
    }
    temp_ = name;
    temp_exists_ = true;
    // A replaced file keeps its permissions; a new one has those the umask leaves.
    struct stat old {};
    mode_ = ::stat(target_.c_str(), &old) == 0 ? old.st_mode & 07777 : 0666 & ~CurrentUmask();
}

bool AtomicFileWriter::ChooseTarget() {
    if (shown_.string().rfind("/proc/self/fd/", 0) == 0) {
        in_place_ = true;
        return true;
    }
    // Follow the links one by one, as the kernel would, refusing any in a shared folder: the
    // rename would otherwise land wherever another user made the link point.
    fs::path path = shown_;
    struct stat status {};
    for (int links = 0; ::lstat(path.c_str(), &status) == 0 && S_ISLNK(status.st_mode); ++links) {
        if (links == kMaxLinks) return Fail("cannot write " + shown_.string(), ELOOP);
        if (IsSticky(FolderOf(path)))
            return Refuse(path == shown_
                              ? "it is a symbolic link in a folder shared with other users "
                                "(sticky bit), who may have planted it"
                              : "it leads through the symbolic link " + path.string() +
                                    ", in a folder shared with other users (sticky bit)");
        std::error_code error;
        const fs::path next = fs::read_symlink(path, error);
        if (error) return Fail("cannot follow the link " + path.string(), error.value());
        path = next.is_absolute() ? next : FolderOf(path) / next;
    }
    if (path != shown_ && IsSticky(FolderOf(path)))
        return Refuse("it is a symbolic link to " + path.lexically_normal().string() +
                      ", in a folder shared with other users (sticky bit)");
    target_ = path;
    if (::stat(target_.c_str(), &status) != 0) return true;  // a new file
    if (S_ISDIR(status.st_mode)) return Fail("cannot write " + shown_.string(), EISDIR);
    // Replacing it would hand another user's file to us, or write where they expect their own.
    if (status.st_uid != ::geteuid())
        return Refuse((path == shown_ ? std::string("it") : path.lexically_normal().string()) +
                      " belongs to another user (uid " + std::to_string(status.st_uid) + ")");
    return true;
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
    // A delayed write fault shows up in fsync or close; both come before the rename. A pipe
    // written in place cannot be synced (EINVAL), and needs not be.
    if (::fsync(fd_) != 0 && !(in_place_ && errno == EINVAL))
        return Fail("cannot write " + shown_.string(), errno);
    // Readable by others only now that it holds what they may read.
    if (!in_place_ && ::fchmod(fd_, mode_) != 0)
        return Fail("cannot write " + shown_.string(), errno);
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) return Fail("cannot write " + shown_.string(), errno);
    if (in_place_) {
        committed_ = true;
        return true;
    }
    if (::rename(temp_.c_str(), target_.c_str()) != 0)
        return Fail("cannot replace " + shown_.string(), errno);
    committed_ = true;
    // Make the rename itself durable; the content is in place whatever this answers.
    const int dir = ::open(FolderOf(target_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
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

bool AtomicFileWriter::Refuse(const std::string& why) {
    if (error_.empty()) error_ = "refusing to write " + shown_.string() + ": " + why;
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
