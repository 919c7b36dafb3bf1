#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

#include "crypto/crypto_error.h"

namespace numtrail::cli {

// What a stream may hold once read into memory: the classes that take any size (AES, MD5)
// would otherwise hold whatever a pipe brings.
inline constexpr std::uint64_t kMaxStreamBytes = std::uint64_t{1} << 28;

// An input argument as a file name the classes can open and measure. "-" is standard input;
// it and other streams (a pipe, a terminal, /dev/stdin) are read whole into anonymous memory
// first, at most kMaxStreamBytes, and so is a file whose bytes `prepare` changes. Anything
// else is handed over as it is, for the class to read and to report on. Throws
// std::runtime_error when the input cannot be read or is too large.
class InputArgument {
  public:
    explicit InputArgument(const std::string& argument,
                           const std::function<void(std::string&)>& prepare = nullptr);
    ~InputArgument();
    InputArgument(const InputArgument&) = delete;
    InputArgument& operator=(const InputArgument&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    // The message with Path() named as the user named the input ("standard input" for "-").
    std::string Named(std::string message) const;

  private:
    std::string argument_;
    std::filesystem::path path_;
    int memory_ = -1;
};

// An output argument as a file name the classes can write. "-" is standard output, and an
// existing target that is neither a regular file nor a folder (/dev/stdout, a pipe) is
// written as a stream: the class writes into anonymous memory (never a file on a disk) and
// Deliver() copies that out. So does a file whose bytes `finish` changes, which is then
// replaced whole. Other files the class writes itself.
class OutputArgument {
  public:
    explicit OutputArgument(const std::string& argument,
                            std::function<std::string(std::string)> finish = nullptr);
    ~OutputArgument();
    OutputArgument(const OutputArgument&) = delete;
    OutputArgument& operator=(const OutputArgument&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    // Once the class has written Path(): puts the result where the argument says. Throws
    // std::runtime_error when that fails (standard output is checked when the program ends).
    void Deliver() const;
    // The message with Path() named as the user named the output ("standard output" for "-").
    std::string Named(std::string message) const;

  private:
    std::string argument_;
    std::function<std::string(std::string)> finish_;
    bool stream_ = false;
    int memory_ = -1;  // what the class writes, when it is staged
    std::filesystem::path path_;
};

// Runs a class on the arguments' files; the CryptoError it may throw names the files standing
// in for standard input and output as the user named them.
template <typename Run>
void RunNamingStreams(const InputArgument& input, const OutputArgument& output, Run run) {
    try {
        run();
    } catch (const CryptoError& e) {
        throw CryptoError(e.Number(), output.Named(input.Named(e.Description())));
    }
}

}  // namespace numtrail::cli
