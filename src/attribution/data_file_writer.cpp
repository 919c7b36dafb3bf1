#include "attribution/data_file_writer.h"

#include <limits>
#include <unordered_map>
#include <vector>

namespace numtrail::attribution {

namespace {

constexpr std::uint32_t kNone = std::numeric_limits<std::uint32_t>::max();
constexpr std::uint8_t kLastCardType = 8;

void PutU32(std::string& out, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<char>(value >> shift));
}

// "province|city|postcode|areacode", the order the file keeps them in.
std::string RecordText(const Record& r) {
    std::string text;
    text.reserve(r.province.size() + r.city.size() + r.postcode.size() + r.area_code.size() + 3);
    text.append(r.province).append(1, '|').append(r.city).append(1, '|');
    text.append(r.postcode).append(1, '|').append(r.area_code);
    return text;
}

}  // namespace

std::uint8_t CardTypeCode(std::string_view text) {
    if (text.empty()) return 0;
    for (std::uint8_t code = 1; code <= kLastCardType; ++code)
        if (CardTypeText(code) == text) return code;
    return 0;
}

std::string RecordFieldProblem(const Record& record) {
    const std::pair<const char*, const std::string*> fields[] = {{"province", &record.province},
                                                                 {"city", &record.city},
                                                                 {"postcode", &record.postcode},
                                                                 {"area code", &record.area_code}};
    for (const auto& [name, value] : fields) {
        if (value->find('|') != std::string::npos)
            return std::string("the ") + name + " holds '|', which separates a record's fields";
        if (value->find('\0') != std::string::npos)
            return std::string("the ") + name + " holds a NUL, which ends a record";
        if (value->size() > kMaxFieldBytes)
            return std::string("the ") + name + " is " + std::to_string(value->size()) +
                   " bytes long; the service refuses fields over " + std::to_string(kMaxFieldBytes);
    }
    return {};
}

std::string DataFileBytes(const DataFile& file) {
    if (file.version.size() > kDataFileVersionBytes)
        throw DataFileError("the version '" + file.version + "' is longer than " +
                            std::to_string(kDataFileVersionBytes) + " bytes");
    // Which record answers each prefix; a later entry replaces an earlier one.
    std::vector<std::uint32_t> answer(kLastPrefix - kFirstPrefix + 1, kNone);
    for (const DataFile::Entry& entry : file.entries) {
        if (entry.prefix >= kFirstPrefix && entry.prefix <= kLastPrefix &&
            entry.record < file.records.size())
            answer[entry.prefix - kFirstPrefix] = entry.record;
    }

    // Record texts in the order of first use, each once; `placed` remembers where each of the
    // file's records went, so that a text is built and hashed once per record, not per prefix.
    std::string area;
    std::unordered_map<std::string, std::uint32_t> offsets;
    std::vector<std::uint32_t> placed(file.records.size(), kNone);
    std::vector<std::pair<std::uint32_t, std::uint32_t>> entries;  // prefix, record index
    constexpr std::uint32_t kFirstRecord = 8;
    for (std::uint32_t slot = 0; slot < answer.size(); ++slot) {
        const std::uint32_t r = answer[slot];
        if (r == kNone) continue;
        if (placed[r] == kNone) {
            const Record& record = file.records[r];
            if (const std::string problem = RecordFieldProblem(record); !problem.empty())
                throw DataFileError("cannot write the record of prefix " +
                                    std::to_string(kFirstPrefix + slot) + ": " + problem);
            std::string text = RecordText(record);
            const auto [found, added] =
                offsets.try_emplace(std::move(text), kFirstRecord + area.size());
            if (added) area.append(found->first).append(1, '\0');
            placed[r] = found->second;
        }
        entries.emplace_back(kFirstPrefix + slot, r);
    }

    std::string out;
    out.reserve(kFirstRecord + area.size() + entries.size() * 9);
    out.append(file.version).append(kDataFileVersionBytes - file.version.size(), '\0');
    PutU32(out, static_cast<std::uint32_t>(kFirstRecord + area.size()));
    out.append(area);
    for (const auto& [prefix, r] : entries) {
        PutU32(out, prefix);
        PutU32(out, placed[r]);
        out.push_back(static_cast<char>(CardTypeCode(file.records[r].card_type)));
    }
    return out;
}

}  // namespace numtrail::attribution
