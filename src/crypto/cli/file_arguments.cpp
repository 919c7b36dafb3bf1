#include "crypto/cli/file_arguments.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <stdexcept>

#include "crypto/file_bytes.h"
#include "platform/atomic_file.h"

namespace numtrail::cli {
namespace {

namespace fs = std::filesystem;

[[noreturn]] void Fail(const std::string& what, int cause) {
    throw std::runtime_error(what + ": " + std::strerror(cause));
}

std::string Shown(const std::string& argument) {
    return argument == "-" ? "standard input" : argument;
}

bool IsStream(const std::string& argument) { return argument == "-" || IsStreamTarget(argument); }

std::string ReadAll(const std::string& argument) {
    const int fd = argument == "-" ? STDIN_FILENO : ::open(argument.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) Fail("cannot read " + argument, errno);
    std::string bytes;
    char buffer[65536];
    int cause = 0;
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            cause = n < 0 ? errno : 0;
            break;
        }
        bytes.append(buffer, static_cast<std::size_t>(n));
        if (bytes.size() > kMaxStreamBytes) {
            if (fd != STDIN_FILENO) ::close(fd);
            throw std::runtime_error(Shown(argument) + " is larger than " +
                                     std::to_string(kMaxStreamBytes) + " bytes");
        }
    }
    if (fd != STDIN_FILENO) ::close(fd);
    if (cause != 0) Fail("cannot read " + Shown(argument), cause);
    return bytes;
}

}  // namespace

InputArgument::InputArgument(const std::string& argument,
                             const std::function<void(std::string&)>& prepare)
    : path_(argument) {
    if (!prepare && !IsStream(argument)) return;
    std::string bytes = ReadAll(argument);
    if (prepare) prepare(bytes);
    // The bytes stay in memory, not on a disk, but have a name the classes can open.
    memory_ = ::memfd_create("numtrail-crypt input", MFD_CLOEXEC);
    if (memory_ < 0) Fail("cannot hold " + Shown(argument), errno);
    if (const int cause = WriteWhole(memory_, bytes.data(), bytes.size()); cause != 0)
        Fail("cannot hold " + Shown(argument), cause);
    path_ = "/proc/self/fd/" + std::to_string(memory_);
}

InputArgument::~InputArgument() {
    if (memory_ >= 0) ::close(memory_);
}

OutputArgument::OutputArgument(const std::string& argument,
                               std::function<std::string(std::string)> finish)
    : argument_(argument),
      finish_(std::move(finish)),
      stream_(IsStream(argument)),
      path_(argument) {
    if (!stream_ && !finish_) return;
    std::string folder = (fs::temp_directory_path() / "numtrail-crypt.XXXXXX").string();
    if (::mkdtemp(folder.data()) == nullptr) Fail("cannot create a temporary folder", errno);
    folder_ = folder;
    path_ = folder_ / "output";
}

OutputArgument::~OutputArgument() {
    std::error_code ignored;
    if (!folder_.empty()) fs::remove_all(folder_, ignored);
}

void OutputArgument::Deliver() const {
    if (folder_.empty()) return;
    std::string bytes = ReadFileBytes(path_);
    if (finish_) bytes = finish_(std::move(bytes));
    if (argument_ == "-") {
        std::cout.flush();
        if (std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size() ||
            std::fflush(stdout) != 0) {
            const int cause = errno;
            std::clearerr(stdout);  // reported here, with its cause, and not once more at the end
            Fail("cannot write standard output", cause);
        }
    } else if (stream_) {
        const int fd = ::open(argument_.c_str(), O_WRONLY | O_CLOEXEC);
        if (fd < 0) Fail("cannot write " + argument_, errno);
        const int cause = WriteWhole(fd, bytes.data(), bytes.size());
        if (::close(fd) != 0 && cause == 0) Fail("cannot write " + argument_, errno);
        if (cause != 0) Fail("cannot write " + argument_, cause);
    } else {
        WriteFileBytes(argument_, bytes);
    }
}

}  // namespace numtrail::cli
