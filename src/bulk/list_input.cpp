#include "bulk/list_input.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/atomic_file.h"

namespace numtrail::bulk {
namespace {

// Large enough that reading costs little beside the lines, small enough to stay in the cache.
constexpr std::size_t kPieceSize = 128 * 1024;

std::string Reason(int error) { return std::strerror(error); }

}  // namespace

ListInput::ListInput(int fd, bool owned, std::string name, std::optional<std::uint64_t> file_size)
    : fd_(fd), owned_(owned), name_(std::move(name)), file_size_(file_size) {}

ListInput::~ListInput() {
    workbook_.reset();
    if (memory_file_ >= 0) ::close(memory_file_);
    if (owned_) ::close(fd_);
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
    std::unique_ptr<ListInput> input(new ListInput(fd, !standard_input, name, size));
    if (size) {
        // A file's first bytes are read where they are, so that one that holds no list is
        // refused before any row is written; a pipe is told apart as it is read.
        std::string head(kListFileHead, '\0');
        const ssize_t n = ::pread(fd, head.data(), head.size(), 0);
        if (n < 0) {
            error = "cannot read " + name + ": " + Reason(errno);
            return nullptr;
        }
        head.resize(static_cast<std::size_t>(n));
        ListFileRefusal refusal;
        const std::optional<ListFileKind> kind = SniffListFile(head, refusal);
        if (!kind) {
            error = refusal.Message(name);
            return nullptr;
        }
        input->kind_ = *kind;
    }
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    return input;
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

bool ListInput::Start(std::string& error) {
    if (!file_size_) {
        // A pipe: its first bytes tell what it holds, and are given first.
        while (ahead_.size() < kListFileHead) {
            const long n = ReadPiece(fd_, name_, error);
            if (n < 0) return false;
            if (n == 0) {
                at_end_ = true;
                break;
            }
            ahead_.append(buffer_.get(), static_cast<std::size_t>(n));
        }
        ListFileRefusal refusal;
        const std::optional<ListFileKind> kind = SniffListFile(ahead_, refusal);
        if (!kind) {
            error = refusal.Message(name_);
            return false;
        }
        kind_ = *kind;
    }
    switch (kind_) {
        case ListFileKind::Text:
            return !file_size_ || ScanText(error);
        case ListFileKind::Contacts:
            contacts_.emplace();
            return true;
        case ListFileKind::Xlsx:
        case ListFileKind::Xls:
            return OpenWorkbook(error);
    }
    return true;
}

bool ListInput::ScanText(std::string& error) {
    const off_t start = ::lseek(fd_, 0, SEEK_CUR);
    if (start < 0) {
        error = "cannot read " + name_ + ": " + Reason(errno);
        return false;
    }
    // The first piece is kept; when the choice needs more, the rest is scanned and read again
    // after that piece.
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

bool ListInput::OpenWorkbook(std::string& error) {
    int fd = fd_;
    workbook_size_ = file_size_.value_or(0);
    if (!file_size_) {
        memory_file_ = NewMemoryFile(error);
        if (memory_file_ < 0) {
            error = "cannot hold the workbook on " + name_ + ": " + error;
            return false;
        }
        for (std::string_view piece;;) {
            if (!NextRaw(piece, error)) return false;
            if (piece.empty()) break;
            if (workbook_size_ + piece.size() > kMaxPipedWorkbook) {
                error = name_ + " holds a workbook of more than " +
                        std::to_string(kMaxPipedWorkbook >> 30) + " GiB: give it as a file instead";
                return false;
            }
            if (const int cause = WriteWhole(memory_file_, piece.data(), piece.size());
                cause != 0) {
                error = "cannot hold the workbook on " + name_ + " in memory: " + Reason(cause);
                return false;
            }
            workbook_size_ += piece.size();
        }
        fd = memory_file_;
    }
    ListFileRefusal refusal;
    workbook_ = WorkbookReader::Open(kind_, fd, refusal);
    if (!workbook_) {
        error = refusal.Message(name_);
        return false;
    }
    return true;
}

ListLineCutter ListInput::Cutter() const {
    if (kind_ != ListFileKind::Text) return ListLineCutter({ListEncoding::Utf8, 0});
    if (!file_size_) return ListLineCutter::ChoosingAsItReads();
    return ListLineCutter(scan_.Choice());
}

bool ListInput::NextRaw(std::string_view& piece, std::string& error) {
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
    if (at_end_) return true;
    const long n = ReadPiece(fd_, name_, error);
    if (n < 0) return false;
    if (n == 0) at_end_ = true;
    piece = {buffer_.get(), static_cast<std::size_t>(n)};
    position_ += piece.size();
    return true;
}

bool ListInput::Next(std::string_view& piece, std::string& error) {
    if (workbook_) {
        ListFileRefusal refusal;
        if (workbook_->Next(piece, refusal)) return true;
        error = refusal.Message(name_);
        return false;
    }
    if (!contacts_) return NextRaw(piece, error);
    // A piece of a contacts file may hold no phone number: read on until one does, or the end.
    contacts_text_.clear();
    while (contacts_text_.empty() && !contacts_done_) {
        std::string_view raw;
        if (!NextRaw(raw, error)) return false;
        if (raw.empty()) {
            contacts_->Finish(contacts_text_);
            contacts_done_ = true;
        } else {
            contacts_->Add(raw, contacts_text_);
        }
    }
    piece = contacts_text_;
    return true;
}

std::uint64_t ListInput::Position() const {
    if (!workbook_) return position_;
    return static_cast<std::uint64_t>(workbook_->Done() * static_cast<double>(workbook_size_));
}

}  // namespace numtrail::bulk
