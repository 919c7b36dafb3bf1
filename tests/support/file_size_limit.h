#pragma once

#include <sys/resource.h>

#include <csignal>

namespace numtrail::test {

// A full disk, made real: while the object lives, no file of this process may grow past
// `bytes`, and a write beyond fails with EFBIG instead of raising SIGXFSZ. Tests run as
// root, which ignores permissions but not resource limits.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) : previous_handler_(std::signal(SIGXFSZ, SIG_IGN)) {
        ::getrlimit(RLIMIT_FSIZE, &previous_);
        rlimit limited = previous_;
        limited.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &previous_);
        std::signal(SIGXFSZ, previous_handler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

  private:
    void (*previous_handler_)(int);
    rlimit previous_{};
};

}  // namespace numtrail::test
