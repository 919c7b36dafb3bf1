#include "bulk/row_writer.h"

#include <algorithm>
#include <array>

#include "platform/codepage.h"
#include "tables/export_line.h"
#include "tables/text_escape.h"

namespace numtrail::bulk {
namespace {

constexpr std::array<std::string_view, 8> kColumns = {
    "line", "number", "province", "city", "area_code", "postcode", "card_type", "status"};

bool IsAscii(std::string_view text) {
    for (const char c : text)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

std::string ToCodePage936(std::string_view utf8) {
    return IsAscii(utf8) ? std::string(utf8) : StringToAnsiBytes(Utf8ToUtf16(utf8));
}

}  // namespace

RowWriter::RowWriter(Format format, const AnswerBook& answers)
    : format_(format), answers_(answers) {}

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
            std::string header;
            for (std::size_t c = 0; c < kColumns.size(); ++c) {
                if (c > 0) header += format_ == Format::Csv ? ',' : '\t';
                header += kColumns[c];
            }
            header += format_ == Format::Csv ? "\r\n" : "\n";
            out.Append(header);
            return;
        }
        case Format::Jsonl:
        case Format::Fixed:
            return;  // a JSON line names its members; the window's export has no header
    }
}

void RowWriter::AppendOtherRow(RowBuffer& out, std::string_view line, std::string_view number,
                               AnswerId answer) {
    std::string& row = scratch_;
    row.clear();
    switch (format_) {
        case Format::Csv:
            tables::AppendCsvField(row, line);
            row += ',';
            row += number;
            break;
        case Format::Tsv:
            tables::AppendTsvField(row, line);
            row += '\t';
            row += number;
            break;
        case Format::Jsonl:
            row += "{\"line\":";
            tables::AppendJsonString(row, line);
            row += ",\"number\":\"";
            row += number;
            row += '"';
            break;
        case Format::Fixed: {
            const std::string encoded = ToCodePage936(line);
            const std::array<std::string, 6>& a = fixed_cells_[answer];
            const std::array<std::string_view, 8> cells = {encoded, number, a[0], a[1],
                                                           a[2],    a[3],   a[4], a[5]};
            tables::AppendExportLine(row, cells);
            out.Append(row);
            return;
        }
    }
    out.Append(row);
    out.Append(tails_[answer]);
}

void RowWriter::AddTails() {
    while (tails_.size() < answers_.AnswerCount()) {
        const auto id = static_cast<AnswerId>(tails_.size());
        const attribution::Record& r = answers_.RecordOf(id);
        const std::array<std::string_view, 6> fields = {
            r.province, r.city,      r.area_code,
            r.postcode, r.card_type, attribution::StatusName(answers_.StatusOf(id))};
        std::string tail;
        switch (format_) {
            case Format::Csv:
            case Format::Tsv: {
                const bool csv = format_ == Format::Csv;
                for (const std::string_view field : fields) {
                    tail += csv ? ',' : '\t';
                    (csv ? tables::AppendCsvField : tables::AppendTsvField)(tail, field);
                }
                tail += csv ? "\r\n" : "\n";
                break;
            }
            case Format::Jsonl:
                for (std::size_t f = 0; f < fields.size(); ++f) {
                    tail += ",\"";
                    tail += kColumns[f + 2];
                    tail += "\":";
                    tables::AppendJsonString(tail, fields[f]);
                }
                tail += "}\n";
                break;
            case Format::Fixed: {
                std::array<std::string, 6>& encoded = fixed_cells_.emplace_back();
                for (std::size_t f = 0; f < fields.size(); ++f)
                    encoded[f] = ToCodePage936(fields[f]);
                break;
            }
        }
        tail.reserve(tail.size() + RowBuffer::kBlock);
        tails_.push_back(std::move(tail));
    }
}

}  // namespace numtrail::bulk
