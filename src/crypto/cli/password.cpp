#include "crypto/cli/password.h"

#include <fcntl.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <stdexcept>

#include "crypto/cli/cli.h"
#include "platform/codepage.h"

namespace numtrail::cli {
namespace {

// Reads the first line from fd, without its line end (LF or CR LF), a byte at a time so that
// nothing after it is taken from a terminal or a pipe that is read again later. Stops at the
// cap: a file without line ends (/dev/zero) is not read to its end. Returns false at the end
// of input before any byte or line end; throws when the line is too long or a read fails.
bool ReadFirstLine(int fd, const std::string& name, Wiped<std::string>& line) {
    line->resize(kMaxPasswordBytes + 2);  // room for a CR and one byte too many
    std::size_t size = 0;
    bool ended = false;
    while (size < line->size()) {
        const ssize_t n = ::read(fd, line->data() + size, 1);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) throw std::runtime_error("cannot read " + name + ": " + std::strerror(errno));
        if (n == 0) break;
        if ((*line)[size] == '\n') {
            ended = true;
            break;
        }
        ++size;
    }
    if (size > 0 && (*line)[size - 1] == '\r') --size;
    if (size > kMaxPasswordBytes)
        throw std::runtime_error("the password from " + name + " is longer than " +
                                 std::to_string(kMaxPasswordBytes) + " bytes");
    line->resize(size);  // shrinking keeps the buffer: nothing is left behind
    return ended || size > 0;
}

// The terminal's settings while its echo is off, for a signal that ends the program there.
termios saved_terminal;
constexpr int kPromptSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

extern "C" void RestoreTerminalAndDie(int signal_number) {
    ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved_terminal);
    ::signal(signal_number, SIG_DFL);
    ::raise(signal_number);
}

// Asks on the terminal without echo. Ctrl-C or a kill at the prompt gives the terminal its
// echo back before the program ends as the signal says.
Wiped<std::string> Prompt() {
    if (::tcgetattr(STDIN_FILENO, &saved_terminal) != 0)
        throw std::runtime_error(std::string("cannot ask for the password: ") +
                                 std::strerror(errno));
    struct sigaction restore {};
    restore.sa_handler = RestoreTerminalAndDie;
    sigemptyset(&restore.sa_mask);
    struct sigaction previous[std::size(kPromptSignals)] = {};
    for (std::size_t i = 0; i < std::size(kPromptSignals); ++i)
        ::sigaction(kPromptSignals[i], &restore, &previous[i]);
    termios quiet = saved_terminal;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    std::cerr << "Password: " << std::flush;

    Wiped<std::string> password;
    bool answered = false;
    std::string failure;
    try {
        answered = ReadFirstLine(STDIN_FILENO, "the terminal", password);
    } catch (const std::runtime_error& e) {
        failure = e.what();
    }
    ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved_terminal);
    for (std::size_t i = 0; i < std::size(kPromptSignals); ++i)
        ::sigaction(kPromptSignals[i], &previous[i], nullptr);
    std::cerr << '\n';
    if (!failure.empty()) throw std::runtime_error(failure);
    // An end of input is no answer, not an empty password.
    if (!answered) throw std::runtime_error("no password read");
    return password;
}

Wiped<std::string> FromFile(const std::string& file) {
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) throw std::runtime_error("cannot read " + file + ": " + std::strerror(errno));
    Wiped<std::string> password;
    try {
        ReadFirstLine(fd, file, password);
    } catch (...) {
        ::close(fd);
        throw;
    }
    ::close(fd);
    return password;
}

}  // namespace

void PasswordOptions::AddTo(CLI::App& command) {
    text_option_ = command.add_option("--password", text_,
                                      "the password (other users can see a command line: "
                                      "prefer --password-file or --password-env)");
    file_option_ = command.add_option("--password-file", file_,
                                      "read the password from the first line of FILE (at most "
                                      "4096 bytes)");
    file_option_->type_name("FILE");
    variable_option_ = command.add_option("--password-env", variable_,
                                          "take the password from the environment variable VAR");
    variable_option_->type_name("VAR");
    text_option_->excludes(file_option_)->excludes(variable_option_);
    file_option_->excludes(variable_option_);
}

Wiped<std::string> PasswordOptions::Read() const {
    if (text_option_->count() > 0) return Wiped<std::string>(std::string(text_));
    if (file_option_->count() > 0) return FromFile(file_);
    if (variable_option_->count() > 0) {
        const char* value = std::getenv(variable_.c_str());
        if (value == nullptr) throw BadUsage{"--password-env: " + variable_ + " is not set"};
        return Wiped<std::string>(std::string(value));
    }
    if (::isatty(STDIN_FILENO)) return Prompt();
    throw BadUsage{"a password is needed: --password, --password-file or --password-env"};
}

Wiped<std::u16string> PasswordOptions::ReadUtf16() const {
    return Wiped<std::u16string>(Utf8ToUtf16(*Read()));
}

}  // namespace numtrail::cli
