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

[[noreturn]] void Fail(const std::string& what, int cause) {
    throw std::runtime_error(what + ": " + std::strerror(cause));
}

std::string Shown(const std::string& argument) {
    return argument == "-" ? "standard input" : argument;
}

bool IsStream(const std::string& argument) { return argument == "-" || IsStreamTarget(argument); }

// A file in memory that the classes can open by name (/proc/self/fd/N).
int MemoryFile(const char* name, const std::string& shown) {
    const int fd = ::memfd_create(name, MFD_CLOEXEC);
    if (fd < 0) Fail("cannot hold " + shown, errno);
    return fd;
}

std::filesystem::path PathOf(int fd) { return "/proc/self/fd/" + std::to_string(fd); }

std::string Replaced(std::string message, const std::string& path, const std::string& name) {
    for (std::size_t at = 0; (at = message.find(path, at)) != std::string::npos; at += name.size())
        message.replace(at, path.size(), name);
    return message;
}

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
    : argument_(argument), path_(argument) {
    if (!prepare && !IsStream(argument)) return;
    std::string bytes = ReadAll(argument);
    if (prepare) prepare(bytes);
    // The bytes stay in memory, not on a disk, but have a name the classes can open.
    memory_ = MemoryFile("numtrail-crypt input", Shown(argument));
    if (const int cause = WriteWhole(memory_, bytes.data(), bytes.size()); cause != 0)
        Fail("cannot hold " + Shown(argument), cause);
    path_ = PathOf(memory_);
}

InputArgument::~InputArgument() {
    if (memory_ >= 0) ::close(memory_);
}

std::string InputArgument::Named(std::string message) const {
    if (memory_ < 0) return message;
    return Replaced(std::move(message), path_.string(), Shown(argument_));
}

OutputArgument::OutputArgument(const std::string& argument,
                               std::function<std::string(std::string)> finish)
    : argument_(argument),
      finish_(std::move(finish)),
      stream_(IsStream(argument)),
      path_(argument) {
    if (!stream_ && !finish_) return;
    memory_ = MemoryFile("numtrail-crypt output", argument == "-" ? "standard output" : argument);
    path_ = PathOf(memory_);
}

OutputArgument::~OutputArgument() {
    if (memory_ >= 0) ::close(memory_);
}

std::string OutputArgument::Named(std::string message) const {
    if (memory_ < 0) return message;
    return Replaced(std::move(message), path_.string(),
                    argument_ == "-" ? "standard output" : argument_);
}

void OutputArgument::Deliver() const {
    if (memory_ < 0) return;
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
