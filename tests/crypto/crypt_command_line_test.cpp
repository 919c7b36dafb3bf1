#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <string>
#include <utility>
#include <vector>

#include "support/expect_runs.h"
#include "support/named_pipe.h"
#include "support/run_program.h"
#include "support/scratch_dir.h"

namespace numtrail {
namespace {

using test::ProgramRun;
using test::ReadFile;
using test::WriteFile;

ProgramRun Crypt(const std::vector<std::string>& arguments, const std::string& in = {}) {
    return test::RunProgram(NUMTRAIL_CRYPT_PATH, arguments, in);
}

// Through the shell, for redirections.
ProgramRun Shell(const std::string& script, const std::vector<std::string>& arguments) {
    std::vector<std::string> words = {"-c", script, NUMTRAIL_CRYPT_PATH};
    words.insert(words.end(), arguments.begin(), arguments.end());
    return test::RunProgram("/bin/sh", words);
}

class CryptCommandLine : public test::ScratchDirTest {};

TEST_F(CryptCommandLine, ExitStatusAndWhereTheTextGoes) {
    test::ExpectRuns(
        NUMTRAIL_CRYPT_PATH,
        {
            {{}, 2, nullptr, "subcommand"},
            {{"--help"}, 0, "base64-decode-text", ""},
            {{"md5-text", "--help"}, 0, "Usage: numtrail-crypt md5-text", ""},
            {{"aes-encrypt-text", "--help"}, 0, "openssl enc", ""},
            {{"--version"}, 0, "numtrail-crypt V", ""},
            {{"bogus"}, 2, nullptr, "bogus"},
            // md5sum's digest of "--abc", which only "--" lets through as a text
            {{"md5-text", "--", "--abc"}, 0, "F2B64BEB1022940DA03857A6B64A3F24\n", ""},
            {{"aes-encrypt-text", "--password=pw", "--key-bits=x", "t"}, 2, nullptr, "'x'"},
            {{"aes-encrypt-text", "--password", "pw", "--password-env", "PW", "t"},
             2,
             nullptr,
             "excludes"},
            // no password, and no terminal to ask on
            {{"xor-encrypt-text", "t"}, 2, nullptr, "--password-file"},
            {{"aes-encrypt-text", "--password-env", "NUMTRAIL_UNSET", "t"},
             2,
             nullptr,
             "NUMTRAIL_UNSET"},
            {{"aes-encrypt-text", "--password-file", Path("missing"), "t"}, 1, nullptr, "missing"},
            // a file without line ends is not read to its end
            {{"aes-encrypt-text", "--password-file", "/dev/zero", "t"}, 1, nullptr, "/dev/zero"},
            {{"md5-file", "a", "b"}, 2, nullptr, "--md5sum"},
            {{"base64-encode-text", "--wrap", "4", "foobar"}, 0, "Zm9v\nYmFy\n", ""},
            {{"base64-decode-text", "Zm9v\r\nYmFy"}, 0, "foobar\n", ""},
        });
}

// Standard input and output give the bytes the files give.
TEST_F(CryptCommandLine, DashIsStandardInputAndOutput) {
    const std::string plain = "第一行\r\nsecond line, longer than a block";
    WriteFile(Path("plain"), plain);
    for (const std::vector<std::string>& command :
         {std::vector<std::string>{"aes-encrypt-file", "--password", "pw"},
          {"base64-encode-file", "--wrap", "8"}}) {
        std::vector<std::string> files = command, streams = command, devices = command;
        files.insert(files.end(), {Path("plain"), Path("out")});
        streams.insert(streams.end(), {"-", "-"});
        ASSERT_EQ(Crypt(files).status, 0) << command[0];
        EXPECT_EQ(Crypt(streams, plain).out, ReadFile(Path("out"))) << command[0];
        // A pipe named as the output is written into, not replaced by a file.
        const test::NamedPipe pipe(Path("pipe-" + command[0]));
        devices.insert(devices.end(), {"/dev/stdin", Path("pipe-" + command[0])});
        EXPECT_EQ(Crypt(devices, plain).status, 0) << command[0];
        EXPECT_TRUE(pipe.StillAPipe()) << command[0];
        EXPECT_EQ(pipe.Read(), ReadFile(Path("out"))) << command[0];
    }
    // The salted cipher, which takes code page 936 text, comes back through both.
    const std::string text = "\xD6\xD0\xCE\xC4\r\nline two";
    const ProgramRun cipher = Crypt({"xor-encrypt-file", "--password", "pw", "-", "-"}, text);
    const ProgramRun back = Crypt({"xor-decrypt-file", "--password", "pw", "-", "-"}, cipher.out);
    EXPECT_EQ(back.status, 0) << cipher.err << back.err;
    EXPECT_EQ(back.out, text);
    // What the class refuses from a file it refuses from standard input.
    EXPECT_EQ(Crypt({"base64-encode-file", "-", "-"}, std::string(32767, 'a')).status, 1);
}

// What goes to standard output is held in memory until it is complete: not even a folder
// for temporary files is needed.
TEST_F(CryptCommandLine, StandardOutputIsHeldInMemory) {
    const std::string plain = "\xD6\xD0\xCE\xC4\r\nsecond line";  // code page 936
    for (const std::vector<std::string>& command :
         {std::vector<std::string>{"aes-encrypt-file", "--password", "pw"},
          {"xor-encrypt-file", "--password", "pw"},
          {"base64-encode-file", "--wrap", "8"}}) {
        std::vector<std::string> words = {"TMPDIR=" + Path("no-such-folder").string(),
                                          NUMTRAIL_CRYPT_PATH};
        words.insert(words.end(), command.begin(), command.end());
        words.insert(words.end(), {"-", "-"});
        const ProgramRun run = test::RunProgram("/usr/bin/env", words, plain);
        EXPECT_EQ(run.status, 0) << command[0] << run.err;
        EXPECT_FALSE(run.out.empty()) << command[0];
    }
}

// Messages call standard input by that name, not by the file that stands in for it.
TEST_F(CryptCommandLine, MessagesNameStandardInput) {
    const std::pair<std::string, const char*> inputs[] = {
        {std::string("\xFF\x00\x81", 3), "Not code page 936 text: standard input"},
        {std::string(70000, 'a'), "File too large: standard input"},
    };
    for (const auto& [input, message] : inputs) {
        const ProgramRun run = Crypt({"xor-encrypt-file", "--password", "pw", "-", "-"}, input);
        EXPECT_EQ(run.status, 1);
        EXPECT_NE(run.err.find(message), std::string::npos) << run.err;
        EXPECT_EQ(run.err.find("/proc/"), std::string::npos) << run.err;
    }
}

// The password asked for on a terminal without echo: an answer is read as the password, and
// Ctrl-C or a kill ends the program as the signal says. Either way the terminal has its echo
// back.
TEST_F(CryptCommandLine, ThePromptGivesTheTerminalItsEchoBack) {
    const std::string expected = Crypt({"aes-encrypt-text", "--password", "pw", "t"}).out;
    for (const int signal_number : {0, SIGINT, SIGTERM}) {
        int controller = -1, terminal = -1;
        ASSERT_EQ(::openpty(&controller, &terminal, nullptr, nullptr, nullptr), 0);
        int output[2] = {-1, -1};  // standard output and error
        ASSERT_EQ(::pipe2(output, O_CLOEXEC), 0);
        posix_spawn_file_actions_t actions;
        ::posix_spawn_file_actions_init(&actions);
        ::posix_spawn_file_actions_adddup2(&actions, terminal, STDIN_FILENO);
        ::posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
        ::posix_spawn_file_actions_adddup2(&actions, output[1], STDERR_FILENO);
        posix_spawnattr_t attributes;
        ::posix_spawnattr_init(&attributes);
        sigset_t defaults;
        sigemptyset(&defaults);
        sigaddset(&defaults, SIGINT);
        sigaddset(&defaults, SIGTERM);
        ::posix_spawnattr_setsigdefault(&attributes, &defaults);
        ::posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
        std::string program = NUMTRAIL_CRYPT_PATH, command = "aes-encrypt-text", text = "t";
        char* argv[] = {program.data(), command.data(), text.data(), nullptr};
        pid_t pid = -1;
        ASSERT_EQ(::posix_spawn(&pid, argv[0], &actions, &attributes, argv, environ), 0);
        ::posix_spawn_file_actions_destroy(&actions);
        ::posix_spawnattr_destroy(&attributes);
        ::close(output[1]);

        std::string written;
        const auto read_until = [&](const std::string& wanted) {
            pollfd readable = {output[0], POLLIN, 0};
            while (written.find(wanted) == std::string::npos && ::poll(&readable, 1, 10000) > 0) {
                char buffer[256];
                const ssize_t n = ::read(output[0], buffer, sizeof buffer);
                if (n <= 0) break;
                written.append(buffer, static_cast<std::size_t>(n));
            }
        };
        read_until("Password: ");
        termios asking{};
        ::tcgetattr(terminal, &asking);
        EXPECT_EQ(asking.c_lflag & ECHO, 0u) << written;
        if (signal_number == 0)
            ASSERT_EQ(::write(controller, "pw\n", 3), 3);
        else
            ::kill(pid, signal_number);
        int status = 0;
        ::waitpid(pid, &status, 0);
        if (signal_number == 0) {
            read_until(expected);
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status << written;
            EXPECT_NE(written.find(expected), std::string::npos) << written;
        } else {
            EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal_number) << status;
        }
        termios after{};
        ASSERT_EQ(::tcgetattr(terminal, &after), 0);
        EXPECT_NE(after.c_lflag & ECHO, 0u) << signal_number;
        for (const int fd : {controller, terminal, output[0]}) ::close(fd);
    }
}

TEST_F(CryptCommandLine, AFailedWriteToStandardOutputFails) {
    WriteFile(Path("plain"), "abc");
    for (const std::vector<std::string>& arguments : {std::vector<std::string>{"md5-text", "abc"},
                                                      {"base64-encode-file", Path("plain"), "-"},
                                                      {"--help"}}) {
        const ProgramRun run = Shell("exec \"$0\" \"$@\" >/dev/full", arguments);
        EXPECT_EQ(run.status, 1) << arguments[0];
        EXPECT_NE(run.err.find("standard output"), std::string::npos) << run.err;
    }
}

TEST_F(CryptCommandLine, PasswordFromAFileOrTheEnvironment) {
    const std::string expected = Crypt({"aes-encrypt-text", "--password", "口令", "text"}).out;
    WriteFile(Path("password"), "口令\r\nnot the password");
    EXPECT_EQ(Crypt({"aes-encrypt-text", "--password-file", Path("password"), "text"}).out,
              expected);
    // A first line of 4096 bytes is read, one of 4097 refused.
    for (const std::size_t length : {4096, 4097}) {
        const std::string password(length, 'p');
        WriteFile(Path("long"), password + "\r\nnext line");
        const ProgramRun run = Crypt({"aes-encrypt-text", "--password-file", Path("long"), "t"});
        EXPECT_EQ(run.status, length == 4096 ? 0 : 1) << length << run.err;
        if (length == 4096) {
            EXPECT_EQ(run.out, Crypt({"aes-encrypt-text", "--password", password, "t"}).out);
        }
    }
    const ProgramRun from_environment = test::RunProgram(
        "/usr/bin/env",
        {"PW=口令", NUMTRAIL_CRYPT_PATH, "aes-encrypt-text", "--password-env", "PW", "text"});
    EXPECT_EQ(from_environment.out, expected);
}

TEST_F(CryptCommandLine, Md5sumChecksTheMd5sumLines) {
    const std::vector<std::string> names = {"plain.txt", "with blank", "back\\slash", "line\nend"};
    std::vector<std::string> arguments = {"md5-file", "--md5sum"};
    for (const std::string& name : names)
        arguments.push_back(WriteFile(Path(name), "content of " + name));
    const ProgramRun sums = Crypt(arguments);
    ASSERT_EQ(sums.status, 0) << sums.err;
    WriteFile(Path("sums"), sums.out);
    const ProgramRun check = test::RunProgram("/usr/bin/md5sum", {"-c", Path("sums")});
    EXPECT_EQ(check.status, 0) << sums.out << check.out << check.err;
    EXPECT_EQ(check.out.find("FAILED"), std::string::npos) << check.out;
}

TEST_F(CryptCommandLine, WrappedBase64RoundTripsWithBase64) {
    std::string bytes;
    for (int i = 0; i < 1000; ++i) bytes += static_cast<char>(1 + i * 7 % 255);  // no zero byte
    WriteFile(Path("bytes"), bytes);
    const ProgramRun theirs = test::RunProgram("/usr/bin/base64", {Path("bytes")});
    EXPECT_EQ(Crypt({"base64-encode-file", "--wrap", "76", Path("bytes"), "-"}).out, theirs.out);
    EXPECT_EQ(Crypt({"base64-decode-file", "-", "-"}, theirs.out).out, bytes);
}

}  // namespace
}  // namespace numtrail
