#pragma once

#include <string>
#include <string_view>

// How a text goes into a field of the tables the programs write: CSV (the window's tables, the
// results journal, numtrail-lookup), TSV and JSON (numtrail-lookup). Bytes in, bytes out: the
// text is UTF-8 and passes as it is, only the few bytes each format reserves are escaped.
namespace numtrail::tables {

// The byte order mark that tells spreadsheets a CSV file is UTF-8 rather than the system's
// code page.
inline constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// RFC 4180: a field is quoted when it holds a comma, a double quote, a CR or an LF.
inline bool NeedsCsvQuotes(std::string_view field) {
    for (const char c : field)
        if (c == ',' || c == '"' || c == '\r' || c == '\n') return true;
    return false;
}
// The field, quoted (its double quotes doubled) when it needs it; an empty one as nothing.
void AppendCsvField(std::string& out, std::string_view field);

// A tab, CR, LF or backslash in a field written \t, \r, \n or \\, so that a row keeps its
// fields and its line.
void AppendTsvField(std::string& out, std::string_view field);

// A JSON string in its quotes: quote, backslash and control characters escaped.
void AppendJsonString(std::string& out, std::string_view text);

}  // namespace numtrail::tables
