#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct RunResult {
    int status = -1;
    std::string out;
    std::string err;
};

std::string Quote(const std::string& word) {
    std::string quoted = "'";
    for (const char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

std::string ReadAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class XorHashCliTest : public ::testing::Test {
  protected:
    fs::path dir;

    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("numtrail_xor_cli_" +
               std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    RunResult Run(const std::vector<std::string>& words) {
        std::string command = Quote(NUMTRAIL_CRYPT_PATH);
        for (const auto& w : words) command += " " + Quote(w);
        command += " 2>" + Quote((dir / "stderr").string());
        RunResult result;
        FILE* pipe = popen(command.c_str(), "r");
        if (!pipe) return result;
        char buffer[4096];
        std::size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) result.out.append(buffer, n);
        const int raw = pclose(pipe);
        result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        result.err = ReadAll(dir / "stderr");
        return result;
    }

    static std::string Line(const RunResult& r) {
        return r.out.empty() || r.out.back() != '\n' ? r.out : r.out.substr(0, r.out.size() - 1);
    }
};

TEST_F(XorHashCliTest, TextRoundTripAndFailures) {
    const RunResult enc =
        Run({"xor-encrypt-text", "--password", "口令", "--key-size", "12", "中文 text"});
    ASSERT_EQ(enc.status, 0) << enc.err;
    EXPECT_EQ(Line(enc).size(), (36u + 7u) * 6);

    const RunResult dec =
        Run({"xor-decrypt-text", "--password", "口令", "--key-size", "12", Line(enc)});
    EXPECT_EQ(dec.status, 0) << dec.err;
    EXPECT_EQ(dec.out, "中文 text\n");

    const RunResult wrong = Run({"xor-decrypt-text", "--password", "口令", Line(enc)});
    EXPECT_EQ(wrong.status, 1);
    EXPECT_EQ(wrong.out, "");
    EXPECT_NE(wrong.err.find("密码不正确！"), std::string::npos);

    // An empty plaintext is a success, not a failure.
    const RunResult empty = Run({"xor-encrypt-text", "--password", "pw", ""});
    ASSERT_EQ(empty.status, 0);
    const RunResult back = Run({"xor-decrypt-text", "--password", "pw", Line(empty)});
    EXPECT_EQ(back.status, 0) << back.err;
    EXPECT_EQ(back.out, "\n");

    EXPECT_EQ(Run({"xor-encrypt-text", "--password", "pw", std::string(32760, 'x')}).status, 1);
    EXPECT_EQ(Run({"xor-encrypt-text", "--password", "pw", "--key-size", "40000", "x"}).status, 2);
    EXPECT_EQ(Run({"xor-encrypt-text", "x"}).status, 2);
}

TEST_F(XorHashCliTest, FileRoundTrip) {
    const std::string plain = "\xD6\xD0\xCE\xC4\r\nline two\r\n";  // code page 936
    std::ofstream(dir / "plain.txt", std::ios::binary) << plain;

    ASSERT_EQ(Run({"xor-encrypt-file", "--password", "pw", (dir / "plain.txt").string(),
                   (dir / "cipher.txt").string()})
                  .status,
              0);
    EXPECT_EQ(ReadAll(dir / "cipher.txt").size(), (24u + 14u) * 6);

    const RunResult wrong = Run({"xor-decrypt-file", "--password", "other",
                                 (dir / "cipher.txt").string(), (dir / "out.txt").string()});
    EXPECT_EQ(wrong.status, 1);
    EXPECT_FALSE(fs::exists(dir / "out.txt"));

    ASSERT_EQ(Run({"xor-decrypt-file", "--password", "pw", (dir / "cipher.txt").string(),
                   (dir / "out.txt").string()})
                  .status,
              0);
    EXPECT_EQ(ReadAll(dir / "out.txt"), plain);

    EXPECT_EQ(Run({"xor-encrypt-file", "--password", "pw", (dir / "missing.txt").string(),
                   (dir / "x.txt").string()})
                  .status,
              1);
}

}  // namespace
