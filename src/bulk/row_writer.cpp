#include "bulk/row_writer.h"

#include <algorithm>
#include <array>
#include <span>
#include <string>

#include "platform/codepage.h"
#include "tables/export_line.h"
#include "tables/table.h"
#include "tables/text_escape.h"

namespace numtrail::bulk {
namespace {

using attribution::NumberKind;

// After the line number, when rows are per number found.
constexpr std::array<std::string_view, 9> kColumns = {
    "line", "number", "province", "city", "area_code", "postcode", "card_type", "status", "kind"};
constexpr std::string_view kLineNumberColumn = "line_number";

// By NumberKind.
constexpr std::array<std::string_view, 4> kKindNames = {"", "mobile", "landline", "service"};

bool IsAscii(std::string_view text) {
    for (const char c : text)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

std::string ToCodePage936(std::string_view utf8) {
    return IsAscii(utf8) ? std::string(utf8) : StringToAnsiBytes(Utf8ToUtf16(utf8));
}

}  // namespace

RowWriter::RowWriter(Format format, const AnswerBook& answers, bool line_numbers)
    : format_(format), answers_(answers), line_numbers_(line_numbers && format != Format::Table) {}

void RowBuffer::Grow(std::size_t at_least) {
    const std::size_t capacity = std::max(at_least, 2 * capacity_);
    std::unique_ptr<char[]> data(new char[capacity]);
    if (size_ != 0) std::memcpy(data.get(), data_.get(), size_);
    data_ = std::move(data);
    capacity_ = capacity;
}

void RowWriter::AppendHeader(RowBuffer& out) const {
    switch (format_) {
        case Format::Csv:
        case Format::Tsv: {
            const char separator = format_ == Format::Csv ? ',' : '\t';
            std::string header;
            if (line_numbers_) header = std::string(kLineNumberColumn) + separator;
            for (std::size_t c = 0; c < kColumns.size(); ++c) {
                if (c > 0) header += separator;
                header += kColumns[c];
            }
            header += format_ == Format::Csv ? "\r\n" : "\n";
            out.Append(header);
            return;
        }
        case Format::Table: {
            std::string header(tables::kUtf8Bom);
            tables::AppendCsvLine(header, tables::kResultHeaders);
            out.Append(header);
            return;
        }
        case Format::Jsonl:
        case Format::Fixed:
            return;  // a JSON line names its members; the window's export has no header
    }
}

void RowWriter::AppendOtherRow(RowBuffer& out, std::uint64_t line_number, std::string_view line,
                               std::string_view number, NumberKind kind, AnswerId answer,
                               const std::string& tail) {
    std::string& row = scratch_;
    row.clear();
    const std::string counted = line_numbers_ ? std::to_string(line_number) : std::string();
    switch (format_) {
        case Format::Csv:
            if (line_numbers_) row += counted + ',';
            tables::AppendCsvField(row, line);
            row += ',';
            row += number;
            break;
        case Format::Tsv:
            if (line_numbers_) row += counted + '\t';
            tables::AppendTsvField(row, line);
            row += '\t';
            row += number;
            break;
        case Format::Jsonl:
            row += '{';
            if (line_numbers_) row += "\"" + std::string(kLineNumberColumn) + "\":" + counted + ',';
            row += "\"line\":";
            tables::AppendJsonString(row, line);
            row += ",\"number\":\"";
            row += number;
            row += '"';
            break;
        case Format::Table:
            row += number;  // digits, which need no quotes
            break;
        case Format::Fixed: {
            const std::string encoded = ToCodePage936(line);
            const std::array<std::string, 6>& a = fixed_cells_[answer];
            const std::string_view cells[] = {
                counted, encoded, number, a[0], a[1],
                a[2],    a[3],    a[4],   a[5], kKindNames[static_cast<std::size_t>(kind)]};
            tables::AppendExportLine(row, std::span(cells).subspan(line_numbers_ ? 0 : 1));
            out.Append(row);
            return;
        }
    }
    out.Append(row);
    out.Append(tail);
}

void RowWriter::AddTails() {
    for (; answers_seen_ < answers_.AnswerCount(); ++answers_seen_) {
        const auto id = static_cast<AnswerId>(answers_seen_);
        const attribution::Record& r = answers_.RecordOf(id);
        const std::array<std::string_view, 6> fields = {
            r.province, r.city,      r.area_code,
            r.postcode, r.card_type, attribution::StatusName(answers_.StatusOf(id))};
        if (format_ == Format::Fixed) {
            std::array<std::string, 6>& encoded = fixed_cells_.emplace_back();
            for (std::size_t f = 0; f < fields.size(); ++f) encoded[f] = ToCodePage936(fields[f]);
        }
        // The answer's columns, which every kind's tail starts with.
        std::string columns;
        switch (format_) {
            case Format::Csv:
            case Format::Tsv: {
                const bool csv = format_ == Format::Csv;
                for (const std::string_view field : fields) {
                    columns += csv ? ',' : '\t';
                    (csv ? tables::AppendCsvField : tables::AppendTsvField)(columns, field);
                }
                break;
            }
            case Format::Jsonl:
                for (std::size_t f = 0; f < fields.size(); ++f) {
                    columns += ",\"";
                    columns += kColumns[f + 2];
                    columns += "\":";
                    tables::AppendJsonString(columns, fields[f]);
                }
                break;
            case Format::Table: {
                // The row's cells with an empty number, which the row's digits go before.
                attribution::Record row = r;
                row.number.clear();
                tables::AppendCsvLine(columns, tables::ResultCells(row));
                break;
            }
            case Format::Fixed:
                break;  // laid out per row
        }
        for (const std::string_view kind : kKindNames) {
            std::string tail;
            tail.reserve(columns.size() + kind.size() + 16 + RowBuffer::kBlock);
            tail = columns;
            switch (format_) {
                case Format::Csv:
                    tail += ',';
                    tail += kind;
                    tail += "\r\n";
                    break;
                case Format::Tsv:
                    tail += '\t';
                    tail += kind;
                    tail += '\n';
                    break;
                case Format::Jsonl:
                    tail += ",\"kind\":\"";
                    tail += kind;
                    tail += "\"}\n";
                    break;
                case Format::Table:  // the window's columns have no kind
                case Format::Fixed:
                    break;
            }
            tails_.push_back(std::move(tail));
        }
    }
}

}  // namespace numtrail::bulk
