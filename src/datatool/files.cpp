#include "datatool/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <span>
#include <stdexcept>
#include <utility>

#include "platform/atomic_file.h"

namespace numtrail::datatool {

std::string Shown(const std::string& argument) {
    return argument == "-" ? "standard input" : argument;
}

std::string ReadInput(const std::string& argument) {
    const bool standard = argument == "-";
    const int fd = standard ? STDIN_FILENO : ::open(argument.c_str(), O_RDONLY | O_CLOEXEC);
    const auto fail = [&](int cause) {
        throw std::runtime_error("cannot read " + Shown(argument) + ": " + std::strerror(cause));
    };
    if (fd < 0) fail(errno);
    // A regular file is read into a buffer of its size, once; a stream grows as it comes.
    struct stat info = {};
    const std::size_t expected = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)
                                     ? static_cast<std::size_t>(info.st_size)
                                     : 0;
    std::string bytes(expected + 1, '\0');
    std::size_t size = 0;
    int cause = 0;
    while (true) {
        if (size == bytes.size()) bytes.resize(std::max<std::size_t>(bytes.size() * 2, 1 << 16));
        const ssize_t n = ::read(fd, bytes.data() + size, bytes.size() - size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            cause = n < 0 ? errno : 0;
            break;
        }
        size += static_cast<std::size_t>(n);
    }
    if (!standard) ::close(fd);
    if (cause != 0) fail(cause);
    bytes.resize(size);
    return bytes;
}

attribution::DataFile ReadDataFile(const std::string& argument) {
    std::string bytes;
    try {
        bytes = ReadInput(argument);
    } catch (const std::runtime_error& e) {
        throw attribution::DataFileError(e.what());
    }
    attribution::DataFileResult result = attribution::ParseDataFile(
        std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
    if (!result.ok())
        throw attribution::DataFileError("damaged data file " + Shown(argument) + ": " +
                                         result.fault);
    return std::move(result.file);
}

Output::Output(const std::string& argument) {
    if (argument == "-") {
        fd_ = STDOUT_FILENO;
        name_ = "standard output";
    } else if (IsStreamTarget(argument)) {
        name_ = argument;
        fd_ = ::open(argument.c_str(), O_WRONLY | O_CLOEXEC);
        if (fd_ < 0)
            throw std::runtime_error("cannot write " + name_ + ": " + std::strerror(errno));
    } else {
        file_ = std::make_unique<AtomicFileWriter>(argument);
        if (!file_->Ok()) throw std::runtime_error(file_->Error());
    }
}

Output::~Output() {
    if (fd_ >= 0 && fd_ != STDOUT_FILENO) ::close(fd_);
}

void Output::Write(std::string_view bytes) {
    if (file_) {
        if (!file_->Write(bytes)) throw std::runtime_error(file_->Error());
        return;
    }
    if (const int cause = WriteWhole(fd_, bytes.data(), bytes.size()); cause != 0)
        throw std::runtime_error("cannot write " + name_ + ": " + std::strerror(cause));
}

void Output::Finish() {
    if (file_ && !file_->Commit()) throw std::runtime_error(file_->Error());
    if (fd_ >= 0 && fd_ != STDOUT_FILENO) {
        const int fd = std::exchange(fd_, -1);
        if (::close(fd) != 0)
            throw std::runtime_error("cannot write " + name_ + ": " + std::strerror(errno));
    }
}

void WriteOutput(const std::string& argument, std::string_view bytes) {
    Output output(argument);
    output.Write(bytes);
    output.Finish();
}

std::vector<std::uint32_t> AnswerOfEachPrefix(const attribution::DataFile& file) {
    std::vector<std::uint32_t> answers(attribution::kLastPrefix - attribution::kFirstPrefix + 1,
                                       kNoAnswer);
    for (const attribution::DataFile::Entry& entry : file.entries)
        if (entry.prefix >= attribution::kFirstPrefix && entry.prefix <= attribution::kLastPrefix &&
            entry.record < file.records.size())
            answers[entry.prefix - attribution::kFirstPrefix] = entry.record;
    return answers;
}

}  // namespace numtrail::datatool
