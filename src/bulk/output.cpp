#include "bulk/output.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace numtrail::bulk {

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
    const int cause = WriteWhole(fd_, bytes.data(), bytes.size());
    if (cause == 0) return true;
    error_ = "cannot write " + name_ + ": " + std::strerror(cause);
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
