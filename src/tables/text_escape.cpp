#include "tables/text_escape.h"

#include <cstdio>

namespace numtrail::tables {

void AppendCsvField(std::string& out, std::string_view field) {
    const bool quoted = NeedsCsvQuotes(field);
    if (quoted) out += '"';
    if (StartsLikeFormula(field)) out += '\'';
    if (!quoted) {
        out += field;
        return;
    }
    for (const char c : field) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
}

void AppendTsvField(std::string& out, std::string_view field) {
    if (StartsLikeFormula(field)) out += '\'';
    for (const char c : field) {
        switch (c) {
            case '\t':
                out += "\\t";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\\':
                out += "\\\\";
                break;
            default:
                out += c;
        }
    }
}

void AppendJsonString(std::string& out, std::string_view text) {
    out += '"';
    for (const char c : text) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    char escape[7];
                    std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned>(c));
                    out += escape;
                } else {
                    out += c;
                }
        }
    }
    out += '"';
}

}  // namespace numtrail::tables
