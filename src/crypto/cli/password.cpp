#include "crypto/cli/password.h"

#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <stdexcept>

#include "crypto/cli/cli.h"

namespace numtrail::cli {
namespace {

// The first line without its line end (LF or CR LF).
std::string FirstLine(std::istream& in) {
    std::string line;
    std::getline(in, line);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

std::string Prompt() {
    termios saved{};
    ::tcgetattr(STDIN_FILENO, &saved);
    termios quiet = saved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    std::cerr << "Password: " << std::flush;
    const std::string password = FirstLine(std::cin);
    const bool answered = !std::cin.fail();
    ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
    std::cerr << '\n';
    // An end of input is no answer, not an empty password.
    if (!answered) throw std::runtime_error("no password read");
    return password;
}

}  // namespace

void PasswordOptions::AddTo(CLI::App& command) {
    text_option_ = command.add_option("--password", text_,
                                      "the password (other users can see a command line: "
                                      "prefer --password-file or --password-env)");
    file_option_ = command.add_option("--password-file", file_,
                                      "read the password from the first line of FILE");
    file_option_->type_name("FILE");
    variable_option_ = command.add_option("--password-env", variable_,
                                          "take the password from the environment variable VAR");
    variable_option_->type_name("VAR");
    text_option_->excludes(file_option_)->excludes(variable_option_);
    file_option_->excludes(variable_option_);
}

std::string PasswordOptions::Read() const {
    if (text_option_->count() > 0) return text_;
    if (file_option_->count() > 0) {
        std::ifstream in(file_, std::ios::binary);
        if (!in) throw std::runtime_error("cannot read " + file_ + ": " + std::strerror(errno));
        return FirstLine(in);
    }
    if (variable_option_->count() > 0) {
        const char* value = std::getenv(variable_.c_str());
        if (value == nullptr) throw BadUsage{"--password-env: " + variable_ + " is not set"};
        return value;
    }
    if (::isatty(STDIN_FILENO)) return Prompt();
    throw BadUsage{"a password is needed: --password, --password-file or --password-env"};
}

}  // namespace numtrail::cli
