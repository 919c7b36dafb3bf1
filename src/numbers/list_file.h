#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace numtrail {

// Why a file gives no number list.
struct ListFileRefusal {
    enum class Why {
        NoList,    // a file of another kind: a picture, a PDF, an archive, a document
        Damaged,   // a workbook that cannot be read to its end: cut short, corrupt, protected
        TooLarge,  // a workbook past the bounds kept against files made to exhaust memory
    };
    Why why = Why::NoList;
    std::string detail;  // what the file is, or what is wrong with it

    // The message for a file of that name, for example "report.pdf holds no number list: it is
    // a PDF document".
    std::string Message(std::string_view name) const;
};

// What a list file holds, told from its first bytes and never from its name.
enum class ListFileKind {
    Text,      // a number list as text, in one of the encodings ChooseListEncoding tells apart
    Contacts,  // a vCard contacts file
    Xlsx,      // a zip container: a workbook, or refused when opened if it holds none
    Xls,       // an OLE container: an older workbook, or refused when opened if it holds none
};

// How many first bytes SniffListFile looks at; fewer when the file is shorter.
inline constexpr std::size_t kListFileHead = 4096;

// The kind of a list file from its first kListFileHead bytes (or all of them). Anything else
// that is binary is refused: nullopt with `refusal` saying what it seems to be.
std::optional<ListFileKind> SniffListFile(std::string_view head, ListFileRefusal& refusal);

// Reads a number list file held whole in memory, whatever its kind: text in any of the
// encodings of ChooseListEncoding, a workbook (.xlsx or .xls: a line per row of every sheet, in
// order, its cells joined by tabs) or a contacts file (a line per phone number). Calls `line`
// with each line in order, as UTF-8 without its line end, empty ones included, and whether it
// was longer than kMaxListLine and is given cut. Returns nothing when the file was read to its
// end, otherwise why it is refused; lines given before damage was found belong to no list then.
std::optional<ListFileRefusal> ReadListFile(
    std::string_view bytes, const std::function<void(std::string_view line, bool cut)>& line);

}  // namespace numtrail
