#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace numtrail::bench {

// Where a list of lines with numbers among other text comes from.
enum class ListSource {
    ContactsCsv,        // a phone's or a mail program's contacts exported as CSV
    ContactsVcard,      // the same as vCard lines
    ChatCopy,           // messages copied out of a chat program, with their headers
    SpreadsheetColumn,  // rows of a sheet saved as text: several columns, tabs between
    RunningText,        // notices, mails and web pages
};
inline constexpr ListSource kListSources[] = {ListSource::ContactsCsv, ListSource::ContactsVcard,
                                              ListSource::ChatCopy, ListSource::SpreadsheetColumn,
                                              ListSource::RunningText};
std::string_view ListSourceName(ListSource source);

// Digit strings that are no telephone number, as they stand beside numbers in such lists.
enum Decoy : unsigned {
    kIdCard = 1u << 0,
    kBankCard = 1u << 1,
    kOrderNumber = 1u << 2,
    kDate = 1u << 3,  // dates and times
    kAmount = 1u << 4,
    kFloat = 1u << 5,  // a number a spreadsheet shows as 1.38001E+10: its digits are lost
};
inline constexpr unsigned kDecoys[] = {kIdCard, kBankCard, kOrderNumber, kDate, kAmount, kFloat};
std::string_view DecoyName(unsigned decoy);

// One line and what it holds: the national digits of its numbers in order (13800138000,
// 01062345678, 4008001234) and the decoys written in it.
struct TruthLine {
    std::string text;
    std::vector<std::string> numbers;
    unsigned decoys = 0;
};

// `count` lines of the source, the same for the same arguments on every machine. Numbers are
// written in the ways people and programs write them (plain, grouped, +86, 0086, 86, full-width
// digits, a zero-width space pasted along, a spreadsheet's text mark); mobile numbers follow
// the carriers' segments, landlines the city table's area codes.
std::vector<TruthLine> MixedList(ListSource source, std::size_t count, std::uint64_t seed = 29);

}  // namespace numtrail::bench
