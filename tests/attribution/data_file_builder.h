#pragma once

#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace numtrail::attribution::testing {

// Writes prefix data files in the user's layout: header, NUL-ended records, 9-byte index.
struct DataFileBuilder {
    struct Entry {
        std::uint32_t prefix;
        std::size_t record;  // index into records
        std::uint8_t card;
    };

    std::string version = "2401";
    std::vector<std::string> records;
    std::vector<Entry> entries;

    std::uint32_t RecordOffset(std::size_t i) const {
        std::uint32_t offset = 8;
        for (std::size_t k = 0; k < i; ++k)
            offset += static_cast<std::uint32_t>(records[k].size() + 1);
        return offset;
    }

    static void PutU32(std::vector<std::uint8_t>& out, std::uint32_t v) {
        for (int shift = 0; shift < 32; shift += 8)
            out.push_back(static_cast<std::uint8_t>(v >> shift));
    }

    std::vector<std::uint8_t> Build() const {
        std::vector<std::uint8_t> out(version.begin(), version.end());
        out.resize(4, ' ');
        PutU32(out, RecordOffset(records.size()));
        for (const std::string& r : records) {
            out.insert(out.end(), r.begin(), r.end());
            out.push_back(0);
        }
        for (const Entry& e : entries) {
            PutU32(out, e.prefix);
            PutU32(out, RecordOffset(e.record));
            out.push_back(e.card);
        }
        return out;
    }
};

inline void WriteFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

// A fresh directory under the system's temporary directory, removed with the object.
class TempDir {
  public:
    TempDir() {
        path_ = std::filesystem::temp_directory_path() /
                ("numtrail-service-test-" + std::to_string(::getpid()) + "-" +
                 std::to_string(counter_++));
        std::filesystem::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    const std::filesystem::path& path() const { return path_; }

  private:
    static inline int counter_ = 0;
    std::filesystem::path path_;
};

}  // namespace numtrail::attribution::testing
