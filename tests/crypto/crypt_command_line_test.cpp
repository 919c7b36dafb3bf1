#include <gtest/gtest.h>

#include <string>
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
