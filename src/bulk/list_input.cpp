#include "bulk/list_input.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/atomic_file.h"

namespace numtrail::bulk {
namespace {

// Large enough that reading costs little beside the lines, small enough to stay in the cache.
constexpr std::size_t kPieceSize = 128 * 1024;
// What a pipe's bytes may take in memory while the encoding is still open.
constexpr std::size_t kAheadInMemory = 8 * 1024 * 1024;

std::string Reason(int error) { return std::strerror(error); }

}  // namespace

ListInput::ListInput(int fd, bool owned, std::string name, std::optional<std::uint64_t> file_size)
    : fd_(fd), owned_(owned), name_(std::move(name)), file_size_(file_size) {}

ListInput::~ListInput() {
    if (owned_) ::close(fd_);
    if (spool_ >= 0) ::close(spool_);
}

std::unique_ptr<ListInput> ListInput::Open(const std::string& path, std::string& error) {
    const bool standard_input = path == "-";
    const std::string name = standard_input ? "standard input" : path;
    const int fd = standard_input ? STDIN_FILENO : ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = "cannot read " + name + ": " + Reason(errno);
        return nullptr;
    }
    struct stat info = {};
    if (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
        error = "cannot read " + name + ": " + Reason(S_ISDIR(info.st_mode) ? EISDIR : errno);
        if (!standard_input) ::close(fd);
        return nullptr;
    }
    std::optional<std::uint64_t> size;
    if (S_ISREG(info.st_mode)) size = static_cast<std::uint64_t>(info.st_size);
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    return std::unique_ptr<ListInput>(new ListInput(fd, !standard_input, name, size));
}

long ListInput::ReadPiece(int fd, const std::string& what, std::string& error) {
    if (!buffer_) buffer_.reset(new char[kPieceSize]);  // not zeroed: read() fills it
    for (;;) {
        const ssize_t n = ::read(fd, buffer_.get(), kPieceSize);
        if (n >= 0) return static_cast<long>(n);
        if (errno == EINTR) continue;
        error = "cannot read " + what + ": " + Reason(errno);
        return -1;
    }
}

bool ListInput::Spool(std::string_view bytes, std::string& error) {
    if (spool_ < 0) {
        const char* dir = std::getenv("TMPDIR");
        std::string pattern =
            std::string(dir != nullptr && *dir != '\0' ? dir : "/tmp") + "/numtrail-lookup-XXXXXX";
        spool_ = ::mkstemp(pattern.data());
        if (spool_ < 0) {
            error = "cannot keep " + name_ + " in a temporary file in " + pattern + ": " +
                    Reason(errno);
            return false;
        }
        ::unlink(pattern.c_str());
    }
    if (const int cause = WriteWhole(spool_, bytes.data(), bytes.size()); cause != 0) {
        error = "cannot keep " + name_ + " in a temporary file: " + Reason(cause);
        return false;
    }
    return true;
}

bool ListInput::ChooseEncoding(std::string& error) {
    const off_t start = file_size_ ? ::lseek(fd_, 0, SEEK_CUR) : -1;
    if (start >= 0) {
        // A file: the first piece is kept; when the choice needs more, the rest is scanned
        // and read again after that piece.
        long n = ReadPiece(fd_, name_, error);
        if (n < 0) return false;
        ahead_.assign(buffer_.get(), static_cast<std::size_t>(n));
        scan_.Add(ahead_);
        if (n == 0) {
            at_end_ = true;
            return true;
        }
        while (!scan_.Settled() && (n = ReadPiece(fd_, name_, error)) > 0)
            scan_.Add({buffer_.get(), static_cast<std::size_t>(n)});
        if (n < 0) return false;
        if (::lseek(fd_, start + static_cast<off_t>(ahead_.size()), SEEK_SET) < 0) {
            error = "cannot read " + name_ + " again from the start: " + Reason(errno);
            return false;
        }
        return true;
    }
    while (!scan_.Settled()) {
        const long n = ReadPiece(fd_, name_, error);
        if (n < 0) return false;
        if (n == 0) {
            at_end_ = true;
            break;
        }
        const std::string_view piece(buffer_.get(), static_cast<std::size_t>(n));
        scan_.Add(piece);
        if (spool_ < 0 && ahead_.size() + piece.size() <= kAheadInMemory)
            ahead_ += piece;
        else if (!Spool(piece, error))
            return false;
    }
    if (spool_ >= 0 && ::lseek(spool_, 0, SEEK_SET) < 0) {
        error = "cannot read back the temporary file of " + name_ + ": " + Reason(errno);
        return false;
    }
    return true;
}

bool ListInput::Next(std::string_view& piece, std::string& error) {
    piece = {};
    if (ahead_given_ && !ahead_.empty()) std::string().swap(ahead_);  // no longer in use
    if (!ahead_given_) {
        ahead_given_ = true;
        if (!ahead_.empty()) {
            piece = ahead_;
            position_ += piece.size();
            return true;
        }
    }
    if (spool_ >= 0) {
        const long n = ReadPiece(spool_, "the temporary file of " + name_, error);
        if (n < 0) return false;
        if (n > 0) {
            piece = {buffer_.get(), static_cast<std::size_t>(n)};
            position_ += piece.size();
            return true;
        }
        ::close(spool_);
        spool_ = -1;
    }
    if (at_end_) return true;
    const long n = ReadPiece(fd_, name_, error);
    if (n < 0) return false;
    if (n == 0) at_end_ = true;
    piece = {buffer_.get(), static_cast<std::size_t>(n)};
    position_ += piece.size();
    return true;
}

}  // namespace numtrail::bulk
