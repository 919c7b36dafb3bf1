#include "datatool/table_build.h"

#include <array>
#include <limits>
#include <unordered_set>

namespace numtrail::datatool {
namespace {

constexpr std::uint32_t kNone = std::numeric_limits<std::uint32_t>::max();
constexpr std::uint32_t kPrefixDigits = 7;
// A header may follow a title row or two; further down, a table without one is no prefix
// table of ours.
constexpr std::size_t kRowsBeforeHeader = 10;

constexpr std::array<std::uint32_t, 8> kPowersOfTen = {1,     10,     100,     1000,
                                                       10000, 100000, 1000000, 10000000};

std::string Where(const std::string& name, const RowPlace& place) {
    std::string where = name + ":";
    if (!place.sheet.empty()) where.append(place.sheet).append(":");
    return where + std::to_string(place.line);
}

// "version: 2401", "version 2401" or "version=2401", any case, in a comment.
std::string VersionOfComment(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    constexpr std::string_view kWord = "version";
    if (text.size() < kWord.size()) return {};
    for (std::size_t i = 0; i < kWord.size(); ++i)
        if ((text[i] | 0x20) != kWord[i]) return {};
    text.remove_prefix(kWord.size());
    if (text.empty() || (text.front() != ' ' && text.front() != ':' && text.front() != '='))
        return {};
    while (!text.empty() && (text.front() == ' ' || text.front() == ':' || text.front() == '='))
        text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    return std::string(text);
}

// The place's cells as one key for the memo.
std::string PlaceKey(std::span<const std::string_view> cells, const Columns& columns) {
    std::string key;
    for (Field field : {Field::Province, Field::City, Field::AreaCode, Field::Postcode})
        key.append(columns.Cell(cells, field)).append(1, '\x1F');
    return key;
}

std::string RecordKey(const attribution::Record& r) {
    return r.province + '|' + r.city + '|' + r.postcode + '|' + r.area_code;
}

}  // namespace

std::optional<PrefixBlock> ParsePrefixCell(std::string_view cell, std::string& problem) {
    std::string digits;
    std::size_t wildcards = 0;
    for (std::size_t i = 0; i < cell.size(); ++i) {
        const char c = cell[i];
        // Full-width digits (０ to ９ are EF BC 90 to EF BC 99) and wildcards (＊).
        if (c == '\xEF' && i + 2 < cell.size() && cell[i + 1] == '\xBC') {
            const auto low = static_cast<unsigned char>(cell[i + 2]);
            if (low >= 0x90 && low <= 0x99 && wildcards == 0) {
                digits += static_cast<char>('0' + (low - 0x90));
                i += 2;
                continue;
            }
            if (low == 0x8A) {
                ++wildcards;
                i += 2;
                continue;
            }
        }
        if (c >= '0' && c <= '9' && wildcards == 0) {
            digits += c;
        } else if (c == 'x' || c == 'X' || c == '*' || c == '?') {
            ++wildcards;
        } else {
            digits.clear();
            break;
        }
    }
    const std::string shown = "the prefix '" + std::string(cell) + "'";
    if (cell.empty()) {
        problem = "no prefix";
        return std::nullopt;
    }
    if (digits.empty() || digits.size() + wildcards > 11) {
        problem = shown + " is not 1 to 7 digits";
        return std::nullopt;
    }
    if (digits.size() > kPrefixDigits) {
        problem = shown + " has more than 7 digits";
        return std::nullopt;
    }
    const auto length = static_cast<std::uint32_t>(digits.size());
    const std::uint32_t span = kPowersOfTen[kPrefixDigits - length];
    PrefixBlock block;
    block.digits = static_cast<std::uint8_t>(length);
    block.first = static_cast<std::uint32_t>(std::stoul(digits)) * span;
    block.last = block.first + span - 1;
    block.first = std::max(block.first, attribution::kFirstPrefix);
    block.last = std::min(block.last, attribution::kLastPrefix);
    if (block.first > block.last) {
        problem = shown + " is outside the mobile prefixes 130 to 199";
        return std::nullopt;
    }
    return block;
}

TableBuilder::TableBuilder(const PlaceNames& places, Report report)
    : places_(places), report_(std::move(report)) {}

void TableBuilder::Bad(const std::string& name, const RowPlace& place, const std::string& reason) {
    ++counts_.unusable;
    report_(Where(name, place) + ": " + reason);
}

void TableBuilder::AddTable(const std::string& name, std::string_view bytes) {
    AddRows(name, [bytes](const RowSink& row, const CommentSink& comment) {
        ReadTableRows(bytes, row, comment);
    });
}

void TableBuilder::AddRows(const std::string& name, const TableReader& read) {
    constexpr const char* kNoHeader =
        "no header row names the prefix column (号段, 前缀 or prefix) and another; name the "
        "columns with --columns";
    // What is known of the sheet being read; a text table is one sheet without a name.
    struct Sheet {
        std::string name;
        std::optional<Columns> columns;
        std::size_t rows = 0;
        bool data = false;
        bool skipped = false;
    };
    Sheet sheet{{}, columns_};
    bool any_columns = false;
    // A sheet without a header is no prefix table (notes, a chart's data): it is passed over,
    // and only a workbook without any prefix table fails.
    const auto without_header = [&](const RowPlace& place) {
        if (place.sheet.empty()) throw TableError(kNoHeader);
        sheet.skipped = true;
        report_(name + ":" + sheet.name + ": " + kNoHeader + "; sheet passed over");
    };
    const auto row = [&](const RowPlace& place, std::span<const std::string_view> cells) {
        if (place.sheet != sheet.name) sheet = Sheet{std::string(place.sheet), columns_};
        if (sheet.skipped) return;
        ++sheet.rows;
        if (!sheet.data && sheet.rows <= kRowsBeforeHeader) {
            if (auto header = Columns::FromHeader(cells)) {
                // Given columns win over the header's; the header row is no data either way.
                if (!columns_) sheet.columns = header;
                any_columns = true;
                return;
            }
        }
        if (!sheet.columns) {
            if (sheet.rows == kRowsBeforeHeader) without_header(place);
            return;  // a title above the header
        }
        any_columns = true;
        sheet.data = true;
        AddRow(name, place, cells, *sheet.columns);
    };
    const auto comment = [this](std::string_view text) {
        if (declared_version_.empty()) declared_version_ = VersionOfComment(text);
    };
    read(row, comment);
    if (!any_columns) throw TableError(kNoHeader);
}

std::optional<std::uint32_t> TableBuilder::PlaceOf(const std::string& name, const RowPlace& row,
                                                   std::span<const std::string_view> cells,
                                                   const Columns& columns) {
    std::string key = PlaceKey(cells, columns);
    auto memo = place_memo_.find(key);
    if (memo == place_memo_.end()) {
        PlaceResult place = places_.Normalize(
            columns.Cell(cells, Field::Province), columns.Cell(cells, Field::City),
            columns.Cell(cells, Field::AreaCode), columns.Cell(cells, Field::Postcode));
        PlaceMemo entry;
        if (place.problem.empty()) {
            const std::string text = RecordKey(place.record);
            const auto [found, added] =
                record_index_.try_emplace(text, static_cast<std::uint32_t>(records_.size()));
            if (added) {
                records_.push_back(place.record);
                if (place.unknown_city) {
                    ++counts_.unknown_cities;
                    report_(Where(name, row) + ": the city table knows no city " +
                            place.record.city + " in " + place.record.province +
                            "; kept as written");
                }
            }
            entry.record = found->second;
        } else {
            entry.problem = std::move(place.problem);
        }
        memo = place_memo_.emplace(std::move(key), std::move(entry)).first;
    }
    if (!memo->second.record) Bad(name, row, memo->second.problem);
    return memo->second.record;
}

void TableBuilder::AddRow(const std::string& name, const RowPlace& place,
                          std::span<const std::string_view> cells, const Columns& columns) {
    ++counts_.rows;
    std::string problem;
    const std::optional<PrefixBlock> block =
        ParsePrefixCell(columns.Cell(cells, Field::Prefix), problem);
    if (!block) return Bad(name, place, problem);

    const std::string_view carrier_cell = columns.Cell(cells, Field::CardType);
    auto carrier = carrier_memo_.find(std::string(carrier_cell));
    if (carrier == carrier_memo_.end())
        carrier =
            carrier_memo_.emplace(std::string(carrier_cell), ParseCarrier(carrier_cell)).first;
    if (!carrier->second)
        return Bad(name, place,
                   "the card type '" + std::string(carrier_cell) +
                       "' names no carrier (中国移动, 中国联通, 中国电信, 中国广电, a virtual "
                       "operator of one, or a card-type number 0 to 8)");

    const std::optional<std::uint32_t> record = PlaceOf(name, place, cells, columns);
    if (!record) return;
    assignments_.push_back({*block, *record, *carrier->second});
}

attribution::DataFile TableBuilder::Finish(std::string version) const {
    constexpr std::size_t kSlots = attribution::kLastPrefix - attribution::kFirstPrefix + 1;
    struct Slot {
        std::uint32_t record = kNone;
        std::uint8_t card = 0;
    };
    std::vector<Slot> slots(kSlots);
    repeated_ = 0;
    // Shorter prefixes first: a longer row is applied later and wins. Blocks of one length
    // are the same or apart, so only the last row of each counts, and each length writes a
    // prefix at most once however many rows repeat a block.
    for (std::uint8_t digits = 1; digits <= kPrefixDigits; ++digits) {
        std::unordered_map<std::uint32_t, const Assignment*> last;  // by the block's first
        for (const Assignment& a : assignments_) {
            if (a.block.digits != digits) continue;
            const Assignment*& kept = last[a.block.first];
            if (kept != nullptr) repeated_ += a.block.last - a.block.first + 1;
            kept = &a;
        }
        for (const auto& [first, a] : last) {
            for (std::uint32_t prefix = first; prefix <= a->block.last; ++prefix)
                slots[prefix - attribution::kFirstPrefix] = {a->place,
                                                             CardTypeOf(a->carrier, prefix)};
        }
    }

    attribution::DataFile file;
    file.version = std::move(version);
    std::unordered_map<std::uint64_t, std::uint32_t> typed;  // record << 8 | card -> index
    for (std::uint32_t i = 0; i < kSlots; ++i) {
        const Slot& slot = slots[i];
        if (slot.record == kNone) continue;
        const std::uint64_t key = std::uint64_t{slot.record} << 8 | slot.card;
        auto found = typed.find(key);
        if (found == typed.end()) {
            attribution::Record record = records_[slot.record];
            record.card_type = std::string(attribution::CardTypeText(slot.card));
            found = typed.emplace(key, static_cast<std::uint32_t>(file.records.size())).first;
            file.records.push_back(std::move(record));
        }
        file.entries.push_back({attribution::kFirstPrefix + i, found->second});
    }
    return file;
}

}  // namespace numtrail::datatool
