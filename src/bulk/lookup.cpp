#include "bulk/lookup.h"

#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>

#include "attribution/data_file.h"
#include "attribution/local_attributor.h"
#include "bulk/answer_book.h"
#include "bulk/list_input.h"
#include "bulk/output.h"
#include "bulk/row_writer.h"
#include "numbers/list_text.h"
#include "numbers/recognizer.h"

namespace numtrail::bulk {
namespace {

// Rows are written in whole blocks of this size: the kernel takes whole, aligned pages into the
// page cache faster than pieces of them.
constexpr std::size_t kOutputBlock = 256 * 1024;

// Shows how far the inputs have been read, on standard error, at most ten times a second.
class ProgressBar {
  public:
    ProgressBar(bool shown, std::uint64_t total) : shown_(shown && total > 0), total_(total) {}

    void Update(std::uint64_t done, const std::string& name) {
        if (!shown_) return;
        const auto now = std::chrono::steady_clock::now();
        if (now - last_ < std::chrono::milliseconds(100)) return;
        last_ = now;
        constexpr int kWidth = 30;
        const int filled = static_cast<int>(kWidth * done / total_);
        std::fprintf(stderr, "\r[%-*s] %3d%% %s", kWidth, std::string(filled, '#').c_str(),
                     static_cast<int>(100 * done / total_), name.c_str());
        drawn_ = true;
    }

    void Clear() {
        if (drawn_) std::fputs("\r\033[K", stderr);
        drawn_ = false;
    }

  private:
    bool shown_;
    std::uint64_t total_;
    bool drawn_ = false;
    std::chrono::steady_clock::time_point last_{};
};

using attribution::LocalAttributor;
using attribution::Number;
using attribution::NumberKind;

struct Run {
    AnswerBook& answers;
    RowWriter writer;
    Output& output;
    // One row per number found rather than per line; a line without a number gives a row
    // unless `number_lines_only`.
    bool every_number = false;
    bool number_lines_only = false;
    const NumberRecognizer& recognizer = NumberRecognizer::BuiltIn();
    RowBuffer rows{kOutputBlock + 64 * 1024};
    // Rows by status; the lines read, and those without a number.
    std::array<std::uint64_t, attribution::kStatusNames.size()> counts = {};
    std::uint64_t lines = 0;
    std::uint64_t lines_without_number = 0;

    // Numbers are gathered a few at a time and their answers prefetched, so that the loads of
    // answers from all over the prefix table overlap instead of waiting one after the other.
    // A line lies in the piece being cut, which stays put until the batch is written at the
    // piece's end; the few that do not (decoded, or begun in the piece before) are copied.
    struct Pending {
        std::string_view line;
        Number number;  // kind None: the line holds none
        std::uint32_t slot;
        std::uint64_t line_number;
    };
    static constexpr std::size_t kBatch = 16;
    std::array<Pending, kBatch> batch = {};
    std::array<std::string, kBatch> copies = {};
    std::size_t batched = 0;
    std::string_view piece = {};

    // Writes the whole blocks gathered, or everything for `all`. After a failure nothing
    // more is written; Output::Error() says what failed.
    void Flush(bool all = false) {
        const std::size_t n = all ? rows.size() : rows.size() / kOutputBlock * kOutputBlock;
        output.Write(rows.View().substr(0, n));
        rows.Consume(n);
    }

    // A line cut at its limit is no number, whatever its start holds.
    void Line(std::string_view line, bool cut) {
        ++lines;
        if (cut) {
            NoNumber(line);
            return;
        }
        // Most lines of a list are a mobile number and nothing else: eleven ASCII digits
        // 1[3-9]..., which are exactly the lines that have a slot. Their number is the line.
        if (const std::uint32_t slot = LocalAttributor::SlotOf(line);
            slot != LocalAttributor::kNoSlot) [[likely]] {
            Number& number = Add(line).number;
            std::memcpy(number.digits.data(), line.data(), 11);
            number.size = 11;
            number.area_code_size = 0;
            number.kind = NumberKind::Mobile;
            Prefetched(slot);
            return;
        }
        bool found = false;
        const auto found_number = [this, line, &found](const FoundNumber& f) {
            Add(line).number = f.number;
            if (f.number.kind == NumberKind::Mobile)
                Prefetched(LocalAttributor::SlotOf(f.number.Digits()));
            found = true;
            return every_number;
        };
        recognizer.ForEach(line, found_number);
        if (!found) NoNumber(line);
    }

    void NoNumber(std::string_view line) {
        ++lines_without_number;
        if (!number_lines_only) Add(line).number = Number{};
    }

    // The next number's place in the batch, for the line it was found in; the batch is
    // written once it is full, which the caller finishes filling in first (see Prefetched).
    Pending& Add(std::string_view line) {
        if (batched == kBatch) WriteBatch();
        Pending& p = batch[batched++];
        p.line = line;
        if (line.data() < piece.data() || line.data() >= piece.data() + piece.size())
            p.line = copies[batched - 1].assign(line);
        p.line_number = lines;
        p.slot = LocalAttributor::kNoSlot;
        return p;
    }

    // A mobile number added last: its answer is loaded ahead.
    void Prefetched(std::uint32_t slot) {
        batch[batched - 1].slot = slot;
        answers.Prefetch(slot);
    }

    void WriteBatch() {
        for (std::size_t i = 0; i < batched; ++i) {
            const Pending& p = batch[i];
            const std::string_view digits = p.number.Digits();
            AnswerId answer = kBadFormatAnswer;
            if (p.number.kind == NumberKind::Mobile)
                answer = answers.AnswerAt(p.slot, digits);
            else if (p.number.kind != NumberKind::None)
                answer = answers.LocalAnswer(p.number);
            ++counts[static_cast<std::size_t>(answers.StatusOf(answer))];
            writer.AppendRow(rows, p.line_number, p.line, digits, p.number.kind, answer);
        }
        batched = 0;
        if (rows.size() >= kOutputBlock) Flush();
    }

    // Reads one list to its end; false with `error` set when it cannot be read.
    bool List(ListInput& input, ProgressBar& progress, std::uint64_t done_before,
              std::string& error) {
        if (!input.Start(error)) return false;
        ListLineCutter cutter = input.Cutter();
        const auto line = [this, &cutter](std::string_view text) { Line(text, cutter.LineCut()); };
        for (;;) {
            if (!input.Next(piece, error)) return false;
            if (piece.empty()) break;
            cutter.Add(piece, line);
            WriteBatch();
            if (!output.Error().empty()) {
                error = output.Error();
                return false;
            }
            progress.Update(done_before + input.Position(), input.Name());
        }
        cutter.Finish(line);
        WriteBatch();
        return true;
    }
};

int Fail(const std::string& message) {
    std::cerr << "numtrail-lookup: " << message << '\n';
    return kExitFailed;
}

// The lines read and how their rows stand; with a row per number, how many numbers were found
// and how many lines held none.
std::string Summary(const Run& run, bool every_number) {
    const auto counted = [](std::uint64_t n, const char* one, const char* more) {
        return std::to_string(n) + " " + (n == 1 ? one : more);
    };
    std::string summary = "numtrail-lookup: " + counted(run.lines, "line", "lines");
    const std::size_t statuses =
        every_number ? attribution::kStatusNames.size() - 1 : attribution::kStatusNames.size();
    if (every_number) {
        std::uint64_t numbers = 0;
        for (std::size_t s = 0; s < statuses; ++s) numbers += run.counts[s];
        summary += ", " + counted(numbers, "number", "numbers");
    }
    for (std::size_t s = 0; s < statuses; ++s)
        summary += (s == 0 ? ": " : ", ") + std::to_string(run.counts[s]) + " " +
                   std::string(attribution::kStatusNames[s]);
    if (every_number)
        summary += "; " + counted(run.lines_without_number, "line", "lines") + " without a number";
    return summary;
}

std::string DataText(const std::optional<std::string>& file) {
    return file ? "data file " + *file + ", built-in data for the prefixes it lacks"
                : "built-in data";
}

}  // namespace

int Lookup(LookupOptions options) {
    if (options.files.empty()) options.files.push_back("-");

    if (!options.data) {
        if (const auto found = attribution::DefaultDataFile()) options.data = found->string();
    }
    attribution::DataFile data;
    if (options.data) {
        try {
            data = attribution::LoadDataFile(*options.data);
        } catch (const attribution::DataFileError& error) {
            return Fail(error.what());
        }
    }

    // Every input is checked before anything is written, so that a mistyped name does not
    // leave half the rows behind; the total size drives the progress bar.
    std::string error;
    std::uint64_t total = 0;
    bool all_files = true;
    for (const std::string& file : options.files) {
        const auto input = ListInput::Open(file, error);
        if (!input) return Fail(error);
        if (file == "-" || !input->FileSize())
            all_files = false;
        else
            total += *input->FileSize();
    }
    const std::unique_ptr<Output> output = Output::Open(options.output, error);
    if (!output) return Fail(error);

    const bool to_terminal = options.output == "-" && ::isatty(STDOUT_FILENO);
    ProgressBar progress(!options.quiet && all_files && !to_terminal && ::isatty(STDERR_FILENO),
                         total);

    const LocalAttributor local(std::move(data));
    std::unique_ptr<UpstreamSession> session;
    if (!options.upstream.url.empty()) {
        if (!options.open_upstream) return Fail("this program cannot ask online services");
        options.upstream.warn = [&progress](const std::string& line) {
            progress.Clear();
            std::cerr << "numtrail-lookup: " << line << '\n';
        };
        session = options.open_upstream(std::move(options.upstream), local, error);
        if (!session) return Fail(error);
    }
    AnswerBook answers(local, session ? &session->Online() : nullptr);
    const bool every_number = options.every_number || options.format == Format::Table;
    Run run{answers, RowWriter(options.format, answers, every_number), *output};
    run.every_number = every_number;
    run.number_lines_only = options.format == Format::Table;
    run.writer.AppendHeader(run.rows);
    std::uint64_t done = 0;
    for (const std::string& file : options.files) {
        const auto input = ListInput::Open(file, error);
        if (!input || !run.List(*input, progress, done, error)) {
            progress.Clear();
            return Fail(error);
        }
        done += input->Position();
    }
    run.Flush(true);
    progress.Clear();
    if (!output->Finish()) return Fail(output->Error());

    if (!options.quiet) {
        std::cerr << Summary(run, every_number) << " (" << DataText(options.data) << ")\n";
        if (session) std::cerr << "numtrail-lookup: " << session->Summary() << '\n';
    }
    return 0;
}

}  // namespace numtrail::bulk
