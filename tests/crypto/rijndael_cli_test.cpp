#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "crypto/rijndael.h"
#include "platform/codepage.h"
#include "support/file_size_limit.h"
#include "support/recording_notifier.h"
#include "support/run_program.h"
#include "support/scratch_dir.h"

namespace numtrail {
namespace {

using test::ReadFile;

// Runs the built numtrail-crypt and keeps what it wrote.
class CryptProgramTest : public test::ScratchDirTest {
  protected:
    int Run(const std::vector<std::string>& words) {
        test::ProgramRun run = test::RunProgram(NUMTRAIL_CRYPT_PATH, words);
        out = std::move(run.out);
        err = std::move(run.err);
        return run.status;
    }

    std::string out;
    std::string err;
};

TEST_F(CryptProgramTest, FilesRoundTripWithTheClassLayout) {
    const std::string content = "一行文字\r\nsecond line, not a whole block";
    test::WriteFile(Path("plain"), content);
    ASSERT_EQ(Run({"aes-encrypt-file", "--password", "口令", "--key-bits", "192", Path("plain"),
                   Path("cipher")}),
              0)
        << err;

    test::RecordingNotifier notifier;
    cRijndael aes(notifier);
    aes.FileEncryptSimple(Path("plain"), Path("expected"), u"口令", 128, 192);
    EXPECT_EQ(ReadFile(Path("cipher")), ReadFile(Path("expected")));

    ASSERT_EQ(Run({"aes-decrypt-file", "--password", "口令", "--key-bits", "192", Path("cipher"),
                   Path("back")}),
              0)
        << err;
    EXPECT_EQ(ReadFile(Path("back")), content);

    // A wrong key shows the length warning: the command fails, and what the class wrote is
    // there, in a file as on standard output.
    EXPECT_EQ(Run({"aes-decrypt-file", "--password", "other", "--key-bits", "192", Path("cipher"),
                   Path("wrong")}),
              1);
    EXPECT_NE(err.find("Wrong key or keysize?"), std::string::npos);
    EXPECT_EQ(
        Run({"aes-decrypt-file", "--password", "other", "--key-bits", "192", Path("cipher"), "-"}),
        1);
    EXPECT_NE(err.find("Wrong key or keysize?"), std::string::npos);
    EXPECT_FALSE(out.empty());
    EXPECT_EQ(out, ReadFile(Path("wrong")));
}

// Every command that writes a file fails on a full disk (the limit is inherited by the
// program) and leaves the old output as it was.
TEST_F(CryptProgramTest, FileCommandsFailOnAFullDiskAndKeepTheOldOutput) {
    test::WriteFile(Path("plain"), std::string(8192, 'a'));
    test::WriteFile(Path("out"), "old output");
    for (const auto& words : {std::vector<std::string>{"aes-encrypt-file", "--password", "pw"},
                              {"xor-encrypt-file", "--password", "pw"},
                              {"base64-encode-file"}}) {
        std::vector<std::string> command = words;
        command.insert(command.end(), {Path("plain"), Path("out")});
        const test::FileSizeLimit full_disk(4096);
        EXPECT_EQ(Run(command), 1) << words[0];
        EXPECT_FALSE(err.empty()) << words[0];
        EXPECT_TRUE(ReadFile(Path("out")) == "old output") << words[0];
    }
}

TEST_F(CryptProgramTest, TextCommandsUseUtf8AndTheHexForm) {
    ASSERT_EQ(
        Run({"aes-encrypt-text", "--password", "密码", "--block-bits", "64", "号码归属地查询"}), 0);
    test::RecordingNotifier notifier;
    cRijndael aes(notifier);
    const std::u16string hex = aes.StringEncrypt(u"号码归属地查询", u"密码", 64, 128);
    EXPECT_EQ(out, Utf16ToUtf8(hex) + "\n");

    ASSERT_EQ(Run({"aes-decrypt-text", "--password", "密码", Utf16ToUtf8(hex)}), 0);
    EXPECT_EQ(out, "号码归属地查询" + std::string(2, '\0') + "\n");
}

TEST_F(CryptProgramTest, FailuresAndBadUsage) {
    EXPECT_EQ(Run({"aes-decrypt-text", "--password", "pw", "xyz"}), 1);
    EXPECT_EQ(err, "错误：非十六进制数据！\n");
    EXPECT_TRUE(out.empty());

    EXPECT_EQ(Run({"aes-encrypt-text", "--password", "pw", "--key-bits", "160", "text"}), 1);
    EXPECT_NE(err.find("cRijndael.SetCipherKey - Illegal KeyBits Value"), std::string::npos);

    EXPECT_EQ(Run({"aes-encrypt-text", "text"}), 2);
    EXPECT_EQ(Run({"aes-encrypt-file", "--password", "pw", Path("only-one")}), 2);
    EXPECT_EQ(Run({"aes-encrypt-text", "--password", "pw", "--key-bits", "big", "t"}), 2);
    // A number with trailing junk is not read as its leading digits.
    EXPECT_EQ(Run({"aes-encrypt-text", "--password", "pw", "--key-bits", "256x", "t"}), 2);
    EXPECT_NE(err.find("256x"), std::string::npos) << err;

    ASSERT_EQ(Run({"--help"}), 0);
    for (const char* name :
         {"aes-encrypt-file", "aes-decrypt-file", "aes-encrypt-text", "aes-decrypt-text"})
        EXPECT_NE(out.find(name), std::string::npos) << name;
}

}  // namespace
}  // namespace numtrail
