#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/run_program.h"
#include "support/scratch_dir.h"

namespace numtrail {
namespace {

using test::ReadFile;
using test::WriteFile;

// Runs numtrail-crypt with the given arguments; stderr is not looked at.
test::ProgramRun Crypt(const std::vector<std::string>& arguments) {
    return test::RunProgram(NUMTRAIL_CRYPT_PATH, arguments);
}

class DigestCommands : public test::ScratchDirTest {};

TEST_F(DigestCommands, Md5OfTextAndFile) {
    // RFC 1321 appendix A.5: MD5("abc").
    EXPECT_EQ(Crypt({"md5-text", "abc"}).out, "900150983CD24FB0D6963F7D28E17F72\n");
    WriteFile(Path("abc.txt"), "abc");
    const test::ProgramRun run = Crypt({"md5-file", Path("abc.txt")});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "900150983CD24FB0D6963F7D28E17F72\n");
    EXPECT_EQ(Crypt({"md5-file", Path("missing")}).status, 1);
}

TEST_F(DigestCommands, Base64TextRoundTripInUtf8) {
    // The argument is UTF-8; the encoding is of the code page 936 bytes D6 D0 CE C4.
    EXPECT_EQ(Crypt({"base64-encode-text", "中文"}).out, "1tDOxA==\n");
    EXPECT_EQ(Crypt({"base64-decode-text", "1tDOxA=="}).out, "中文\n");
    EXPECT_EQ(Crypt({"base64-decode-text", "Zm9vYg"}).status, 1);  // 4k + 2 characters
}

TEST_F(DigestCommands, Base64FilesTakeInputFirst) {
    WriteFile(Path("plain.txt"), "foobar");
    EXPECT_EQ(Crypt({"base64-encode-file", Path("plain.txt"), Path("enc.txt")}).status, 0);
    EXPECT_EQ(ReadFile(Path("enc.txt")), "Zm9vYmFy");
    EXPECT_EQ(Crypt({"base64-decode-file", Path("enc.txt"), Path("dec.txt")}).status, 0);
    EXPECT_EQ(ReadFile(Path("dec.txt")), "foobar");

    EXPECT_EQ(Crypt({"base64-encode-file", Path("missing"), Path("out.txt")}).status, 1);
    EXPECT_FALSE(std::filesystem::exists(Path("out.txt")));
}

}  // namespace
}  // namespace numtrail
