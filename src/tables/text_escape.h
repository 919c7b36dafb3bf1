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
// A spreadsheet takes a cell that starts with one of these for a formula and runs it (a
// hyperlink that sends the row away, a DDE call). Such a cell is written with a leading
// apostrophe, which spreadsheets show as text; the cell's text then differs from the field by
// that one byte, a price paid only by fields that start so.
inline bool StartsLikeFormula(std::string_view field) {
    if (field.empty()) return false;
    const char c = field.front();
    return c == '=' || c == '+' || c == '-' || c == '@' || c == '\t' || c == '\r';
}
// Whether AppendCsvField writes the field exactly as it is.
inline bool CsvFieldAsIs(std::string_view field) {
    return !StartsLikeFormula(field) && !NeedsCsvQuotes(field);
}
// The field, behind an apostrophe when it starts like a formula, and quoted (its double quotes
// doubled) when it needs it; an empty one as nothing.
void AppendCsvField(std::string& out, std::string_view field);

// A field that starts like a formula behind an apostrophe, as in CSV; a tab, CR, LF or
// backslash in it written \t, \r, \n or \\, so that a row keeps its fields and its line.
void AppendTsvField(std::string& out, std::string_view field);

// A JSON string in its quotes: quote, backslash and control characters escaped.
void AppendJsonString(std::string& out, std::string_view text);

}  // namespace numtrail::tables
