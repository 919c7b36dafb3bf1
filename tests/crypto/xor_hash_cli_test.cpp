#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/run_program.h"
#include "support/scratch_dir.h"

namespace {

namespace fs = std::filesystem;
using numtrail::test::ProgramRun;
using numtrail::test::ReadFile;

class XorHashCliTest : public ::testing::Test {
  protected:
    numtrail::test::ScratchDir dir;

    static ProgramRun Run(const std::vector<std::string>& words) {
        return numtrail::test::RunProgram(NUMTRAIL_CRYPT_PATH, words);
    }

    static std::string Line(const ProgramRun& r) {
        return r.out.empty() || r.out.back() != '\n' ? r.out : r.out.substr(0, r.out.size() - 1);
    }
};

TEST_F(XorHashCliTest, TextRoundTripAndFailures) {
    const ProgramRun enc =
        Run({"xor-encrypt-text", "--password", "口令", "--key-size", "12", "中文 text"});
    ASSERT_EQ(enc.status, 0) << enc.err;
    EXPECT_EQ(Line(enc).size(), (36u + 7u) * 6);

    const ProgramRun dec =
        Run({"xor-decrypt-text", "--password", "口令", "--key-size", "12", Line(enc)});
    EXPECT_EQ(dec.status, 0) << dec.err;
    EXPECT_EQ(dec.out, "中文 text\n");

    const ProgramRun wrong = Run({"xor-decrypt-text", "--password", "口令", Line(enc)});
    EXPECT_EQ(wrong.status, 1);
    EXPECT_EQ(wrong.out, "");
    EXPECT_NE(wrong.err.find("密码不正确！"), std::string::npos);

    // An empty plaintext is a success, not a failure.
    const ProgramRun empty = Run({"xor-encrypt-text", "--password", "pw", ""});
    ASSERT_EQ(empty.status, 0);
    const ProgramRun back = Run({"xor-decrypt-text", "--password", "pw", Line(empty)});
    EXPECT_EQ(back.status, 0) << back.err;
    EXPECT_EQ(back.out, "\n");

    EXPECT_EQ(Run({"xor-encrypt-text", "--password", "pw", std::string(32760, 'x')}).status, 1);
    EXPECT_EQ(Run({"xor-encrypt-text", "--password", "pw", "--key-size", "40000", "x"}).status, 2);
    EXPECT_EQ(Run({"xor-encrypt-text", "x"}).status, 2);
}

TEST_F(XorHashCliTest, FileRoundTrip) {
    const std::string plain = "\xD6\xD0\xCE\xC4\r\nline two\r\n";  // code page 936
    numtrail::test::WriteFile(dir / "plain.txt", plain);

    ASSERT_EQ(Run({"xor-encrypt-file", "--password", "pw", (dir / "plain.txt").string(),
                   (dir / "cipher.txt").string()})
                  .status,
              0);
    EXPECT_EQ(ReadFile(dir / "cipher.txt").size(), (24u + 14u) * 6);

    const ProgramRun wrong = Run({"xor-decrypt-file", "--password", "other",
                                  (dir / "cipher.txt").string(), (dir / "out.txt").string()});
    EXPECT_EQ(wrong.status, 1);
    EXPECT_FALSE(fs::exists(dir / "out.txt"));

    ASSERT_EQ(Run({"xor-decrypt-file", "--password", "pw", (dir / "cipher.txt").string(),
                   (dir / "out.txt").string()})
                  .status,
              0);
    EXPECT_EQ(ReadFile(dir / "out.txt"), plain);

    EXPECT_EQ(Run({"xor-encrypt-file", "--password", "pw", (dir / "missing.txt").string(),
                   (dir / "x.txt").string()})
                  .status,
              1);
}

// Only what comes back byte for byte is encrypted: a binary file is refused, and so is a
// file too large for the 16-bit counts, by its size before it is read.
TEST_F(XorHashCliTest, FilesThatWouldNotComeBackByteForByteAreRefused) {
    const std::string out = (dir / "out.txt").string();
    numtrail::test::WriteFile(dir / "binary", std::string("\x89PNG\r\n\x1A\n\xFF\xFE\0\x01", 12));
    const ProgramRun binary =
        Run({"xor-encrypt-file", "--password", "pw", (dir / "binary").string(), out});
    EXPECT_EQ(binary.status, 1);
    EXPECT_NE(binary.err.find("code page 936"), std::string::npos) << binary.err;
    EXPECT_FALSE(fs::exists(out));

    numtrail::test::WriteFile(dir / "large.txt", std::string(2 * (32767 - 8) + 1, 'a'));
    const ProgramRun large =
        Run({"xor-encrypt-file", "--password", "pw", (dir / "large.txt").string(), out});
    EXPECT_EQ(large.status, 1);
    EXPECT_NE(large.err.find("too large"), std::string::npos) << large.err;
    EXPECT_FALSE(fs::exists(out));
}

}  // namespace
