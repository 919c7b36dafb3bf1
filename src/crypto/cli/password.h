#pragma once

#include <CLI/CLI.hpp>
#include <string>

namespace numtrail::cli {

// Where a command's password comes from: --password, --password-file or --password-env, or,
// with none of them and a terminal on standard input, a prompt that does not echo.
class PasswordOptions {
  public:
    void AddTo(CLI::App& command);
    // The password as UTF-8. Throws BadUsage when none is given and none can be asked for, or
    // the variable is not set; std::runtime_error when the file cannot be read.
    std::string Read() const;

  private:
    std::string text_;
    std::string file_;
    std::string variable_;
    CLI::Option* text_option_ = nullptr;
    CLI::Option* file_option_ = nullptr;
    CLI::Option* variable_option_ = nullptr;
};

}  // namespace numtrail::cli
