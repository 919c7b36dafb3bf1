// Writes the built-in prefix table (see BuiltinTable) as C++ source: what BuiltinData answers
// for every prefix from 1300000 to 1999999, as runs of prefixes that share an answer.
//   numtrail_builtin_table_gen OUTPUT.cpp
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "attribution/builtin_table_data.h"
#include "attribution/generate/builtin_data.h"

namespace {

using namespace numtrail::attribution;

// A C++ string literal of any bytes: everything but plain printable ASCII as a three-digit
// octal escape, which cannot run into the next character.
std::string Literal(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if (b >= 0x20 && b < 0x7F && c != '"' && c != '\\' && c != '?') {
            out += c;
        } else {
            char escape[5];
            std::snprintf(escape, sizeof escape, "\\%03o", b);
            out += escape;
        }
    }
    return out + "\"";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: numtrail_builtin_table_gen OUTPUT.cpp\n";
        return 2;
    }
    const BuiltinData data;
    std::vector<Record> records;
    std::map<std::tuple<std::string, std::string, std::string, std::string, std::string>,
             std::uint16_t>
        index;
    std::vector<builtin_table_data::Run> runs;
    for (std::uint32_t prefix = kFirstPrefix; prefix <= kLastPrefix; ++prefix) {
        std::uint16_t number = builtin_table_data::kNoRecord;
        if (const std::optional<Record> r = data.Resolve(prefix)) {
            const auto key =
                std::tie(r->province, r->city, r->postcode, r->area_code, r->card_type);
            auto found = index.find(key);
            if (found == index.end()) {
                if (records.size() >= builtin_table_data::kNoRecord) {
                    std::cerr << "numtrail_builtin_table_gen: too many distinct answers\n";
                    return 1;
                }
                found = index.emplace(key, static_cast<std::uint16_t>(records.size())).first;
                records.push_back(*r);
            }
            number = found->second;
        }
        if (runs.empty() || runs.back().record != number) runs.push_back({prefix, number});
    }

    const std::filesystem::path target = argv[1];
    std::filesystem::path temp = target;
    temp += ".tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out << "// Generated when the program is built by numtrail_builtin_table_gen, from what "
               "the\n"
               "// built-in data answers for every prefix. Do not edit.\n"
               "#include \"attribution/builtin_table_data.h\"\n\n"
               "namespace numtrail::attribution::builtin_table_data {\n\n"
               "const RecordText kRecords[] = {\n";
        for (const Record& r : records) {
            out << "    {" << Literal(r.province) << ", " << Literal(r.city) << ", "
                << Literal(r.postcode) << ", " << Literal(r.area_code) << ", "
                << Literal(r.card_type) << "},\n";
        }
        out << "};\nconst std::size_t kRecordCount = " << records.size() << ";\n\n"
            << "const Run kRuns[] = {\n";
        for (std::size_t i = 0; i < runs.size(); ++i) {
            out << (i % 8 == 0 ? "    " : " ") << '{' << runs[i].first << ", " << runs[i].record
                << "},";
            if (i % 8 == 7 || i + 1 == runs.size()) out << '\n';
        }
        out << "};\nconst std::size_t kRunCount = " << runs.size() << ";\n\n"
            << "}  // namespace numtrail::attribution::builtin_table_data\n";
        if (!out) {
            std::cerr << "numtrail_builtin_table_gen: cannot write " << temp << '\n';
            return 1;
        }
    }
    std::filesystem::rename(temp, target);
    return 0;
}
