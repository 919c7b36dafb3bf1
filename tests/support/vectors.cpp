#include "support/vectors.h"

#include <fstream>
#include <stdexcept>

namespace numtrail::test {
namespace {

std::string Trim(const std::string& s) {
    const auto first = s.find_first_not_of(" \t\r");
    if (first == std::string::npos) return {};
    const auto last = s.find_last_not_of(" \t\r");
    return s.substr(first, last - first + 1);
}

}  // namespace

std::vector<VectorRecord> LoadVectors(const std::string& file_name) {
    const std::string path = std::string(NUMTRAIL_TEST_DATA_DIR) + "/" + file_name;
    std::ifstream in(path);
    if (!in) throw std::runtime_error("cannot open test vectors " + path);
    std::vector<VectorRecord> records;
    VectorRecord current;
    std::string line;
    while (std::getline(in, line)) {
        const std::string trimmed = Trim(line);
        if (trimmed.empty()) {
            if (!current.empty()) records.push_back(std::move(current));
            current.clear();
            continue;
        }
        if (trimmed[0] == '#') continue;
        const auto eq = trimmed.find('=');
        if (eq == std::string::npos) throw std::runtime_error("bad vector line: " + trimmed);
        std::string value = Trim(trimmed.substr(eq + 1));
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
        current[Trim(trimmed.substr(0, eq))] = value;
    }
    if (!current.empty()) records.push_back(std::move(current));
    return records;
}

std::vector<std::uint8_t> HexToBytesForTest(const std::string& hex) {
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes.push_back(static_cast<std::uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return bytes;
}

std::string BytesToHexForTest(const std::vector<std::uint8_t>& bytes) {
    static const char* digits = "0123456789abcdef";
    std::string hex;
    for (const auto b : bytes) {
        hex += digits[b >> 4];
        hex += digits[b & 15];
    }
    return hex;
}

}  // namespace numtrail::test
