#include "bulk/output.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace numtrail::bulk {

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

std::unique_ptr<Output> Output::Open(const std::string& path, std::string& error) {
    if (path == "-") return std::unique_ptr<Output>(new Output(STDOUT_FILENO, "standard output"));
    if (IsStreamTarget(path)) {
        const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
        if (fd < 0) {
            error = "cannot write " + path + ": " + std::strerror(errno);
            return nullptr;
        }
        return std::unique_ptr<Output>(new Output(fd, path));
    }
    auto file = std::make_unique<AtomicFileWriter>(path);
    if (!file->Ok()) {
        error = file->Error();
        return nullptr;
    }
    return std::unique_ptr<Output>(new Output(std::move(file)));
}

bool Output::Write(std::string_view bytes) {
    if (!error_.empty()) return false;
    if (file_) {
        if (file_->Write(bytes)) return true;
        error_ = file_->Error();
        return false;
    }
    if (WriteAll(fd_, bytes)) return true;
    error_ = "cannot write " + name_ + ": " + std::strerror(errno);
    return false;
}

Output::~Output() {
    if (fd_ >= 0 && fd_ != STDOUT_FILENO) ::close(fd_);
}

bool Output::Finish() {
    if (!error_.empty()) return false;
    if (file_) {
        if (file_->Commit()) return true;
        error_ = file_->Error();
        return false;
    }
    return true;
}

}  // namespace numtrail::bulk
