#pragma once

#include <CLI/CLI.hpp>
#include <cstddef>
#include <string>

#include "platform/secret.h"

namespace numtrail::cli {

// The longest password line read from a file or a terminal, without its line end.
inline constexpr std::size_t kMaxPasswordBytes = 4096;

// Where a command's password comes from: --password, --password-file or --password-env, or,
// with none of them and a terminal on standard input, a prompt that does not echo.
class PasswordOptions {
  public:
    void AddTo(CLI::App& command);
    // The password as UTF-8, wiped when it goes. Throws BadUsage when none is given and none
    // can be asked for, or the variable is not set; std::runtime_error when the file cannot be
    // read or its first line is longer than kMaxPasswordBytes, or the prompt gets no answer.
    Wiped<std::string> Read() const;
    // The same, as the classes take it.
    Wiped<std::u16string> ReadUtf16() const;

  private:
    std::string text_;
    std::string file_;
    std::string variable_;
    CLI::Option* text_option_ = nullptr;
    CLI::Option* file_option_ = nullptr;
    CLI::Option* variable_option_ = nullptr;
};

}  // namespace numtrail::cli
