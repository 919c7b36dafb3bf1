#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "crypto/rijndael.h"
#include "platform/codepage.h"

namespace numtrail {
namespace {

class NullNotifier final : public Notifier {
  public:
    void Notify(std::u16string_view, NoticeStyle) override {}
};

// Runs numtrail-crypt through the shell with its output captured in files.
class CryptProgramTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("numtrail-crypt-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    std::string Path(const std::string& name) const { return (dir_ / name).string(); }

    static std::string Quote(const std::string& word) {
        std::string quoted = "'";
        for (const char ch : word) quoted += ch == '\'' ? std::string("'\\''") : std::string(1, ch);
        return quoted + "'";
    }

    int Run(const std::vector<std::string>& words) {
        std::string command = Quote(NUMTRAIL_CRYPT_PATH);
        for (const auto& word : words) command += " " + Quote(word);
        command += " >" + Quote(Path("stdout")) + " 2>" + Quote(Path("stderr"));
        const int status = std::system(command.c_str());
        out = Slurp(Path("stdout"));
        err = Slurp(Path("stderr"));
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    static std::string Slurp(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    std::string out;
    std::string err;

  private:
    std::filesystem::path dir_;
};

TEST_F(CryptProgramTest, FilesRoundTripWithTheClassLayout) {
    const std::string content = "一行文字\r\nsecond line, not a whole block";
    std::ofstream(Path("plain"), std::ios::binary) << content;
    ASSERT_EQ(Run({"aes-encrypt-file", "--password", "口令", "--key-bits", "192", Path("plain"),
                   Path("cipher")}),
              0)
        << err;

    NullNotifier notifier;
    cRijndael aes(notifier);
    aes.FileEncryptSimple(Path("plain"), Path("expected"), u"口令", 128, 192);
    EXPECT_EQ(Slurp(Path("cipher")), Slurp(Path("expected")));

    ASSERT_EQ(Run({"aes-decrypt-file", "--password", "口令", "--key-bits", "192", Path("cipher"),
                   Path("back")}),
              0)
        << err;
    EXPECT_EQ(Slurp(Path("back")), content);

    // A wrong key shows the length warning: the command fails.
    EXPECT_EQ(Run({"aes-decrypt-file", "--password", "other", "--key-bits", "192", Path("cipher"),
                   Path("wrong")}),
              1);
    EXPECT_NE(err.find("Wrong key or keysize?"), std::string::npos);
}

TEST_F(CryptProgramTest, TextCommandsUseUtf8AndTheHexForm) {
    ASSERT_EQ(
        Run({"aes-encrypt-text", "--password", "密码", "--block-bits", "64", "号码归属地查询"}), 0);
    NullNotifier notifier;
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

    ASSERT_EQ(Run({"--help"}), 0);
    for (const char* name :
         {"aes-encrypt-file", "aes-decrypt-file", "aes-encrypt-text", "aes-decrypt-text"})
        EXPECT_NE(out.find(name), std::string::npos) << name;
}

}  // namespace
}  // namespace numtrail
