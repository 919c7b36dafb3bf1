#include "service/list_rows.h"

#include "numbers/list_file.h"
#include "numbers/recognizer.h"

namespace numtrail::service {

namespace {

std::string MiB(std::size_t bytes) { return std::to_string(bytes >> 20) + " MiB"; }

}  // namespace

std::optional<ListRefusal> AddListFile(std::string_view bytes, std::string_view name,
                                       const ListBounds& bounds, RequestLists& lists) {
    bool too_many_lines = false, too_much_text = false, too_slow = false;
    std::uint64_t lines_read = 0;
    const std::optional<ListFileRefusal> refusal =
        ReadListFile(bytes, [&](std::string_view line, bool cut) {
            if (too_many_lines || too_much_text || too_slow) return;
            // The clock is read now and then: a line costs far less than reading it.
            if (++lines_read % 4096 == 0 && std::chrono::steady_clock::now() > bounds.deadline) {
                too_slow = true;
                return;
            }
            if (lists.lines == bounds.max_lines) {
                too_many_lines = true;
                return;
            }
            if (lists.text.size() + line.size() + 1 > bounds.max_text) {
                too_much_text = true;
                return;
            }
            ++lists.lines;
            if (cut) lists.cut_lines.push_back(lists.lines);
            lists.text.append(line);
            lists.text += '\n';
        });
    if (refusal) {
        const int status = refusal->why == ListFileRefusal::Why::TooLarge ? 413 : 415;
        return ListRefusal{status, "无法读取号码清单：" + refusal->Message(name)};
    }
    if (too_slow || std::chrono::steady_clock::now() > bounds.deadline)
        return ListRefusal{413, "清单太大，未能在服务规定的时间内读完，请分成几份查询。"};
    if (too_many_lines)
        return ListRefusal{413, "清单超过服务的行数上限 " + std::to_string(bounds.max_lines) +
                                    " 行，请分成几份查询。"};
    if (too_much_text)
        return ListRefusal{413, "清单解开后超过 " + MiB(bounds.max_text) + "，请分成几份查询。"};
    return std::nullopt;
}

void ListAnswers::Fill(ListRow& row) const {
    if (online_ != nullptr && online_->MayBlock(row.number)) {
        const attribution::Answer answer = online_->Attribute(row.number);
        if (!answer.refused) {
            row.record = answer.record;
            row.status = answer.status;
            return;
        }
    }
    const attribution::LocalAttributor::AnswerId id = local_.Find(row.number);
    row.record = &local_.RecordOf(id);
    row.status = local_.StatusOf(id);
}

void ListRows::Line(std::string_view line, bool cut) {
    ListRow row;
    row.line_number = line_number_;
    row.line = line;
    // A line cut at its bound is no number, whatever its start holds.
    if (!cut) {
        NumberRecognizer::BuiltIn().ForEach(line, [&](const FoundNumber& found) {
            row.number = found.number;
            answers_.Fill(row);
            rows_.push_back(row);
        });
    }
    if (rows_.empty()) rows_.push_back(row);
}

}  // namespace numtrail::service
