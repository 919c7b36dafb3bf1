#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

namespace numtrail::test {

// The whole file as bytes; empty when it cannot be read.
inline std::string ReadFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline std::vector<std::uint8_t> ReadFileBytes(const std::filesystem::path& file) {
    const std::string bytes = ReadFile(file);
    return {bytes.begin(), bytes.end()};
}

// Replaces the file with the bytes given and returns its path.
inline std::filesystem::path WriteFile(const std::filesystem::path& file, std::string_view bytes) {
    std::ofstream(file, std::ios::binary)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return file;
}

inline std::filesystem::path WriteFile(const std::filesystem::path& file,
                                       const std::vector<std::uint8_t>& bytes) {
    return WriteFile(file,
                     std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

// A new, empty directory under the system temporary directory, removed with everything
// in it when the object goes. The name holds the process id, a counter and, inside a
// test, the test's name, so parallel runs and tests never share one.
class ScratchDir {
  public:
    ScratchDir() : path_(NewName()) {
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~ScratchDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    std::filesystem::path Path(const std::string& name) const { return path_ / name; }
    friend std::filesystem::path operator/(const ScratchDir& dir,
                                           const std::filesystem::path& name) {
        return dir.path_ / name;
    }

  private:
    static std::filesystem::path NewName() {
        static std::atomic<int> counter{0};
        std::string name =
            "numtrail-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
        if (const auto* info = ::testing::UnitTest::GetInstance()->current_test_info())
            name += std::string("-") + info->name();
        return std::filesystem::temp_directory_path() / name;
    }

    std::filesystem::path path_;
};

// A test fixture with its own scratch directory.
class ScratchDirTest : public ::testing::Test {
  protected:
    const std::filesystem::path& Dir() const { return scratch_.Path(); }
    std::filesystem::path Path(const std::string& name) const { return scratch_.Path(name); }

  private:
    ScratchDir scratch_;
};

}  // namespace numtrail::test
