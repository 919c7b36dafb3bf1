#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

namespace numtrail::test {

// A named pipe with this process as its reader, so that a program can open it to write without
// waiting. A program that replaces its output file instead of writing into it turns the pipe
// into a regular file: safer to find out with a pipe of one's own than with /dev/stdout.
class NamedPipe {
  public:
    explicit NamedPipe(const std::filesystem::path& path) : path_(path) {
        ::mkfifo(path.c_str(), 0600);
        fd_ = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    }
    ~NamedPipe() {
        if (fd_ >= 0) ::close(fd_);
    }
    NamedPipe(const NamedPipe&) = delete;
    NamedPipe& operator=(const NamedPipe&) = delete;

    // What has been written into the pipe (at most its buffer, 64 KiB).
    std::string Read() const {
        std::string bytes;
        char buffer[4096];
        for (ssize_t n; (n = ::read(fd_, buffer, sizeof buffer)) > 0;)
            bytes.append(buffer, static_cast<std::size_t>(n));
        return bytes;
    }
    bool StillAPipe() const {
        struct stat status {};
        return ::stat(path_.c_str(), &status) == 0 && S_ISFIFO(status.st_mode);
    }

  private:
    std::filesystem::path path_;
    int fd_ = -1;
};

}  // namespace numtrail::test
