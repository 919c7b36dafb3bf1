// numtrail-lookup: attributes every line of number lists, as fast as the lines can be read.
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <array>
#include <chrono>
#include <cstdio>
#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "bulk/attributor.h"
#include "bulk/list_input.h"
#include "bulk/output.h"
#include "bulk/row_writer.h"
#include "numbers/entry_cleaning.h"
#include "numbers/list_text.h"
#include "service/data_file.h"

namespace {

using namespace numtrail;
using namespace numtrail::bulk;

constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
// Rows are written in whole blocks of this size: the kernel takes whole, aligned pages into the
// page cache faster than pieces of them.
constexpr std::size_t kOutputBlock = 256 * 1024;

struct Options {
    std::vector<std::string> files;
    std::string output = "-";
    Format format = Format::Csv;
    std::optional<std::string> data;
    bool quiet = false;
};

constexpr std::string_view kFooter =
    "Each FILE is read in turn (standard input when there is none, or for \"-\"), in the\n"
    "encoding the window's import would choose, and every line gives one row, in order: blank\n"
    "lines and lines without a number too. Columns: the line as read, the cleaned number,\n"
    "province, city, area code, postcode, card type, and a status: ok, unknown-place (an\n"
    "assigned segment that no data places), unassigned, bad-format (no number in the line).\n"
    "\n"
    "Formats: csv (UTF-8, header row, RFC 4180), tsv (UTF-8, header row; tab, CR, LF and\n"
    "backslash in a field written \\t \\r \\n \\\\), jsonl (one JSON object a line), fixed (the\n"
    "window's export line: code page 936, CR LF).\n"
    "\n"
    "Exit status: 0 done, 1 an input, data or output file failed, 2 bad usage.";

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

struct Run {
    const Options& options;
    Attributor& attributor;
    RowWriter writer;
    Output& output;
    RowBuffer rows{kOutputBlock + 64 * 1024};
    std::array<std::uint64_t, kStatusNames.size()> counts = {};

    // Lines are cleaned a few at a time and their answers prefetched, so that the loads of
    // answers from all over the prefix table overlap instead of waiting one after the other.
    // A line lies in the piece being cut, which stays put until the batch is written at the
    // piece's end; the few that do not (decoded, or begun in the piece before) are copied.
    struct Pending {
        std::string_view line;
        CleanedEntry entry;
        std::uint32_t slot;
    };
    static constexpr std::size_t kBatch = 16;
    std::array<Pending, kBatch> batch = {};
    std::array<std::string, kBatch> copies = {};
    std::size_t batched = 0;
    std::string_view piece = {};

    // Writes the whole blocks gathered, or everything for `all`.
    void Flush(bool all = false) {
        const std::size_t n = all ? rows.size() : rows.size() / kOutputBlock * kOutputBlock;
        output.Write(rows.View().substr(0, n));
        rows.Consume(n);
    }

    void Line(std::string_view line) {
        Pending& p = batch[batched];
        p.line = line;
        if (line.data() < piece.data() || line.data() >= piece.data() + piece.size())
            p.line = copies[batched].assign(line);
        ++batched;
        p.entry = CleanEntry(line);
        p.slot = Attributor::kNoSlot;
        if (p.entry.kind == EntryKind::Number) {
            p.slot = Attributor::SlotOf(p.entry.Number());
            attributor.Prefetch(p.slot);
        }
        if (batched == kBatch) WriteBatch();
    }

    void WriteBatch() {
        for (std::size_t i = 0; i < batched; ++i) {
            const Pending& p = batch[i];
            std::string_view number;
            AnswerId answer = kBadFormatAnswer;
            if (p.entry.kind == EntryKind::Number) {
                number = p.entry.Number();
                answer = attributor.AnswerAt(p.slot);
            }
            ++counts[static_cast<std::size_t>(attributor.StatusOf(answer))];
            writer.AppendRow(rows, p.line, number, answer);
        }
        batched = 0;
        if (rows.size() >= kOutputBlock) Flush();
    }

    // Reads one list to its end; false with `error` set when it cannot be read.
    bool List(ListInput& input, ProgressBar& progress, std::uint64_t done_before,
              std::string& error) {
        if (!input.ChooseEncoding(error)) return false;
        ListLineCutter cutter(input.Encoding());
        const auto line = [this](std::string_view text) { Line(text); };
        for (;;) {
            if (!input.Next(piece, error)) return false;
            if (piece.empty()) break;
            cutter.Add(piece, line);
            WriteBatch();
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

std::string DataText(const std::optional<std::string>& file) {
    return file ? "data file " + *file + ", built-in data for the prefixes it lacks"
                : "built-in data";
}

int Lookup(Options& options) {
    if (options.files.empty()) options.files.push_back("-");

    if (!options.data) {
        if (const auto found = service::DefaultDataFile()) options.data = found->string();
    }
    service::DataFile data;
    if (options.data) {
        try {
            data = service::LoadDataFile(*options.data);
        } catch (const service::DataFileError& error) {
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

    Attributor attributor(std::move(data));
    Run run{options, attributor, RowWriter(options.format, attributor), *output};
    run.writer.AppendHeader(run.rows);

    const bool to_terminal = options.output == "-" && ::isatty(STDOUT_FILENO);
    ProgressBar progress(!options.quiet && all_files && !to_terminal && ::isatty(STDERR_FILENO),
                         total);
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
        std::uint64_t lines = 0;
        for (const std::uint64_t n : run.counts) lines += n;
        std::string summary = "numtrail-lookup: " + std::to_string(lines) + " lines";
        for (std::size_t s = 0; s < kStatusNames.size(); ++s)
            summary += (s == 0 ? ": " : ", ") + std::to_string(run.counts[s]) + " " +
                       std::string(kStatusNames[s]);
        std::cerr << summary << " (" << DataText(options.data) << ")\n";
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    CLI::App app(
        "Attributes every line of number lists: province, city, area code, postcode "
        "and card type of each mobile number, one row per line.",
        "numtrail-lookup");
    app.footer(std::string(kFooter));
    app.set_version_flag("--version", "numtrail-lookup " NUMTRAIL_VERSION);
    const std::map<std::string, Format> formats = {{"csv", Format::Csv},
                                                   {"tsv", Format::Tsv},
                                                   {"jsonl", Format::Jsonl},
                                                   {"fixed", Format::Fixed}};
    std::string format = "csv";
    app.add_option("-o,--output", options.output,
                   "write the rows to FILE, replacing it only once complete (default \"-\": "
                   "standard output)")
        ->type_name("FILE");
    app.add_option("--format", format, "csv (default), tsv, jsonl or fixed")
        ->type_name("FORMAT")
        ->check(CLI::IsMember(formats));
    app.add_option("--data", options.data,
                   "7-digit prefix data file; its entries win over the built-in data (default: "
                   "$XDG_DATA_HOME/Numtrail/phone.dat when it exists)")
        ->type_name("FILE");
    app.add_flag("-q,--quiet", options.quiet, "no progress bar and no summary on standard error");
    app.add_option("FILE", options.files, "number lists; \"-\" is standard input")
        ->type_name("FILE");
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        if (e.get_exit_code() == static_cast<int>(CLI::ExitCodes::Success)) return app.exit(e);
        std::cerr << "numtrail-lookup: " << e.what() << "\nRun with --help for more information.\n";
        return kExitUsage;
    }
    options.format = formats.at(format);
    return Lookup(options);
}
