#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace numtrail {
namespace {

struct CryptRun {
    int status;
    std::string output;
};

// Runs numtrail-crypt with the given (already quoted) arguments; stderr is discarded.
CryptRun Crypt(const std::string& arguments) {
    const std::string command =
        std::string("'") + NUMTRAIL_CRYPT_PATH + "' " + arguments + " 2>/dev/null";
    CryptRun run{-1, {}};
    std::FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return run;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        run.output.append(buffer, n);
    const int raw = ::pclose(pipe);
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return run;
}

class DigestCommands : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("numtrail-digest-cli-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    std::string Path(const std::string& name) const { return (dir_ / name).string(); }
    static std::string Read(const std::string& file) {
        std::ifstream in(file, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    std::filesystem::path dir_;
};

TEST_F(DigestCommands, Md5OfTextAndFile) {
    // RFC 1321 appendix A.5: MD5("abc").
    EXPECT_EQ(Crypt("md5-text abc").output, "900150983CD24FB0D6963F7D28E17F72\n");
    std::ofstream(Path("abc.txt"), std::ios::binary) << "abc";
    const CryptRun run = Crypt("md5-file '" + Path("abc.txt") + "'");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output, "900150983CD24FB0D6963F7D28E17F72\n");
    EXPECT_EQ(Crypt("md5-file '" + Path("missing") + "'").status, 1);
}

TEST_F(DigestCommands, Base64TextRoundTripInUtf8) {
    // The argument is UTF-8; the encoding is of the code page 936 bytes D6 D0 CE C4.
    EXPECT_EQ(Crypt("base64-encode-text '中文'").output, "1tDOxA==\n");
    EXPECT_EQ(Crypt("base64-decode-text 1tDOxA==").output, "中文\n");
    EXPECT_EQ(Crypt("base64-decode-text Zm9vYg").status, 1);  // 4k + 2 characters
}

TEST_F(DigestCommands, Base64FilesTakeInputFirst) {
    std::ofstream(Path("plain.txt"), std::ios::binary) << "foobar";
    EXPECT_EQ(
        Crypt("base64-encode-file '" + Path("plain.txt") + "' '" + Path("enc.txt") + "'").status,
        0);
    EXPECT_EQ(Read(Path("enc.txt")), "Zm9vYmFy");
    EXPECT_EQ(
        Crypt("base64-decode-file '" + Path("enc.txt") + "' '" + Path("dec.txt") + "'").status, 0);
    EXPECT_EQ(Read(Path("dec.txt")), "foobar");

    EXPECT_EQ(
        Crypt("base64-encode-file '" + Path("missing") + "' '" + Path("out.txt") + "'").status, 1);
    EXPECT_FALSE(std::filesystem::exists(Path("out.txt")));
}

}  // namespace
}  // namespace numtrail
