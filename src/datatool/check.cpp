#include "datatool/check.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <span>
#include <unordered_map>

#include "attribution/data_file.h"
#include "attribution/data_file_writer.h"
#include "attribution/sanitize.h"
#include "attribution/segments.h"

namespace numtrail::datatool {
namespace {

using attribution::kFirstPrefix;
using attribution::kLastPrefix;

constexpr std::size_t kEntrySize = 9;
constexpr std::size_t kSlots = kLastPrefix - kFirstPrefix + 1;

std::uint32_t U32(std::string_view bytes, std::size_t at) {
    std::uint32_t value = 0;
    for (int k = 3; k >= 0; --k) value = value << 8 | static_cast<unsigned char>(bytes[at + k]);
    return value;
}

std::vector<std::string_view> SplitFields(std::string_view text) {
    std::vector<std::string_view> fields;
    while (true) {
        const std::size_t bar = text.find('|');
        fields.push_back(text.substr(0, bar));
        if (bar == std::string_view::npos) return fields;
        text.remove_prefix(bar + 1);
    }
}

// Runs of neighbouring prefixes that share a finding, one line each.
class PrefixRuns {
  public:
    explicit PrefixRuns(std::vector<Finding>& out) : out_(out) {}
    // `text` of prefix (in ascending order), or empty for none.
    void Add(std::uint32_t prefix, std::string text) {
        if (!text.empty() && text == text_ && prefix == last_ + 1) {
            last_ = prefix;
            return;
        }
        Flush();
        text_ = std::move(text);
        first_ = last_ = prefix;
    }
    void Flush() {
        if (text_.empty()) return;
        std::string where = std::to_string(first_);
        if (last_ != first_)
            where += "-" + std::to_string(last_) + " (" + std::to_string(last_ - first_ + 1) +
                     " prefixes)";
        out_.push_back({false, "prefix " + where + ": " + text_});
        text_.clear();
    }

  private:
    std::vector<Finding>& out_;
    std::string text_;
    std::uint32_t first_ = 0;
    std::uint32_t last_ = 0;
};

struct RecordUse {
    std::size_t prefixes = 0;
    std::uint32_t first = 0;  // the lowest prefix
};

// The findings of one record text.
void CheckRecord(std::string_view text, const RecordUse& use, const PlaceNames& places,
                 std::vector<Finding>& out) {
    const std::string where = "record \"" + std::string(text) + "\" (" +
                              std::to_string(use.prefixes) +
                              (use.prefixes == 1 ? " prefix" : " prefixes") + ", the first " +
                              std::to_string(use.first) + "): ";
    const auto add = [&](bool refused, const std::string& what) {
        out.push_back({refused, where + what});
    };
    const std::vector<std::string_view> fields = SplitFields(text);
    if (fields.size() > 4)
        add(false,
            "has " + std::to_string(fields.size()) + " fields; the service reads the first four");
    constexpr const char* kNames[] = {"province", "city", "postcode", "area code"};
    bool refused = false;
    for (std::size_t i = 0; i < 4; ++i) {
        if (fields[i].size() > attribution::kMaxFieldBytes) {
            refused = true;
            add(true, std::string("the ") + kNames[i] + " is " + std::to_string(fields[i].size()) +
                          " bytes long; the service refuses fields over " +
                          std::to_string(attribution::kMaxFieldBytes));
        } else if (attribution::SanitizeValue(fields[i]) != fields[i]) {
            add(false, std::string("the ") + kNames[i] +
                           " holds characters that answers leave out (double quote, backslash "
                           "or control characters)");
        }
    }
    if (refused) return;
    // As answers carry them: a character they leave out has had its finding.
    const std::string province = attribution::SanitizeValue(fields[0]);
    const std::string city = attribution::SanitizeValue(fields[1]);
    const std::string postcode = attribution::SanitizeValue(fields[2]);
    const std::string area_code = attribution::SanitizeValue(fields[3]);
    if (province.empty()) {
        add(false,
            "names no province: its prefixes are answered without a place (with --upstream, "
            "asked online)");
        return;
    }
    if (province == attribution::kUnknownPlace) return;
    const PlaceResult normal = places.Normalize(province, city, {}, {});
    if (!normal.problem.empty()) {
        add(false, normal.problem);
        return;
    }
    if (normal.record.province != province || normal.record.city != city)
        add(false, "written " + province + " " + city + " where answers write " +
                       normal.record.province + " " + normal.record.city);
    if (normal.unknown_city) {
        add(false,
            "the city table knows no city " + normal.record.city + " in " + normal.record.province);
        return;
    }
    if (city.empty()) return;
    // Normalize filled the city table's codes in.
    if (!area_code.empty() && area_code != normal.record.area_code)
        add(false, "the area code " + area_code + " is not the city table's " +
                       normal.record.area_code + " for " + normal.record.city);
    if (!postcode.empty() && !normal.record.postcode.empty() && postcode != normal.record.postcode)
        add(false, "the postcode " + postcode + " is not the city table's " +
                       normal.record.postcode + " for " + normal.record.city);
}

}  // namespace

std::size_t CheckResult::Errors() const {
    return static_cast<std::size_t>(std::count_if(findings.begin(), findings.end(),
                                                  [](const Finding& f) { return f.refused; }));
}

CheckResult CheckDataFile(std::string_view bytes, const PlaceNames& places) {
    CheckResult result;
    std::vector<Finding>& out = result.findings;
    const attribution::DataFileResult parsed = attribution::ParseDataFile(
        std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
    if (!parsed.ok()) {
        out.push_back({true, "damaged: " + parsed.fault});
        return result;
    }
    for (std::size_t i = 0; i < 4; ++i) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c != 0 && (c < 0x20 || c > 0x7E)) {
            out.push_back({false, "the version (bytes 0-3) is not plain text"});
            break;
        }
    }

    // ParseDataFile has checked every offset: the index can be walked without checks.
    const std::uint32_t index = U32(bytes, 4);
    const std::size_t count = (bytes.size() - index) / kEntrySize;
    std::vector<std::uint8_t> entries(kSlots, 0);  // how many, up to 255
    std::vector<std::uint32_t> offset(kSlots, 0);  // of the last
    std::vector<std::uint8_t> card(kSlots, 0);     // of the last
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t at = index + i * kEntrySize;
        const std::uint32_t slot = U32(bytes, at) - kFirstPrefix;
        if (entries[slot] < 255) ++entries[slot];
        offset[slot] = U32(bytes, at + 4);
        card[slot] = static_cast<std::uint8_t>(bytes[at + 8]);
    }

    PrefixRuns repeated(out), no_card(out), other_card(out), unallocated(out);
    std::map<std::string_view, RecordUse> uses;  // by record text, in text order
    std::unordered_map<std::uint32_t, RecordUse*> by_offset;
    for (std::uint32_t slot = 0; slot < kSlots; ++slot) {
        const std::uint32_t prefix = kFirstPrefix + slot;
        if (entries[slot] == 0) continue;
        ++result.prefixes;
        RecordUse*& use = by_offset[offset[slot]];
        if (use == nullptr) {
            const std::string_view area = bytes.substr(0, index);
            const std::size_t nul = area.find('\0', offset[slot]);
            use = &uses[area.substr(offset[slot], nul - offset[slot])];
            if (use->prefixes == 0) use->first = prefix;
        }
        ++use->prefixes;

        repeated.Add(prefix, entries[slot] > 1 ? "given more than once; the last entry answers"
                                               : std::string());
        const std::string_view segment = attribution::CardTypeForPrefix(prefix);
        const std::string_view given = attribution::CardTypeText(card[slot]);
        std::string none;
        if (card[slot] > 8)
            none = "the card-type byte " + std::to_string(card[slot]) +
                   " names no carrier; answers give no card type";
        else if (given.empty() && !segment.empty())
            none = "no card type, where the carriers' segments give " + std::string(segment);
        no_card.Add(prefix, std::move(none));
        other_card.Add(prefix, !given.empty() && !segment.empty() && given != segment
                                   ? "the card type " + std::string(given) +
                                         " is not the carriers' segments' " + std::string(segment)
                                   : std::string());
        unallocated.Add(
            prefix, segment.empty() ? "outside the carriers' allocated segments" : std::string());
    }
    for (PrefixRuns* runs : {&repeated, &no_card, &other_card, &unallocated}) runs->Flush();
    result.records = uses.size();
    for (const auto& [text, use] : uses) CheckRecord(text, use, places, out);
    std::stable_partition(out.begin(), out.end(), [](const Finding& f) { return f.refused; });
    return result;
}

}  // namespace numtrail::datatool
