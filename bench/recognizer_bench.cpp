// The number recognizer against the entry cleaning it follows: how fast each goes through a
// list of plain numbers and a realistic list, and how many of the numbers of generated lists
// with text around them each finds (the truth of each line is known), with the numbers the
// recognizer made up where there were none.
//   recognizer_bench [--lines N] [--runs R]
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "mixed_lists.h"
#include "numbers/entry_cleaning.h"
#include "numbers/list_text.h"
#include "numbers/recognizer.h"
#include "realistic_list.h"

namespace {

using namespace numtrail;

// Lines one after the other in one buffer, as a list read into memory holds them.
class LineBuffer {
  public:
    void Add(std::string_view line) {
        ends_.push_back(text_.size() + line.size());
        text_ += line;
    }
    std::vector<std::string_view> Lines() const {
        std::vector<std::string_view> lines;
        std::size_t begin = 0;
        for (const std::size_t end : ends_) {
            lines.emplace_back(text_.data() + begin, end - begin);
            begin = end;
        }
        return lines;
    }

  private:
    std::string text_;
    std::vector<std::size_t> ends_;
};

std::vector<std::string_view> Lines(const LineBuffer& buffer) { return buffer.Lines(); }

LineBuffer PlainList(std::size_t count) {
    // The lines of the realistic list that are plain numbers already.
    LineBuffer buffer;
    std::size_t added = 0;
    const std::string bytes = bench::RealisticList(count * 2, 7);
    ForEachListLine(bytes, [&](std::string_view line) {
        if (added < count && line.size() == 11 &&
            line.find_first_not_of("0123456789") == std::string_view::npos) {
            buffer.Add(line);
            ++added;
        }
    });
    return buffer;
}

LineBuffer RealisticList(std::size_t count) {
    LineBuffer buffer;
    ForEachListLine(bench::RealisticList(count), [&](std::string_view line) { buffer.Add(line); });
    return buffer;
}

LineBuffer MixedLines(const std::vector<bench::TruthLine>& lines) {
    LineBuffer buffer;
    for (const bench::TruthLine& line : lines) buffer.Add(line.text);
    return buffer;
}

// The processor time of this thread: on a machine shared with other work, wall time would
// also count the time others took.
double ThreadNanoseconds() {
    timespec now;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e9 + static_cast<double>(now.tv_nsec);
}

// Processor nanoseconds per line of the best of `runs` passes.
template <typename Pass>
double BestNanoseconds(const std::vector<std::string_view>& lines, int runs, Pass pass) {
    double best = 1e300;
    std::size_t sink = 0;
    for (int run = 0; run < runs; ++run) {
        const double start = ThreadNanoseconds();
        for (const std::string_view line : lines) sink += pass(line);
        best = std::min(best, (ThreadNanoseconds() - start) / static_cast<double>(lines.size()));
    }
    if (sink == 42) std::puts("");  // keeps the passes from being optimised away
    return best;
}

struct Speeds {
    double clean, first, every;
};

Speeds Measure(const std::vector<std::string_view>& lines, int runs) {
    const NumberRecognizer& recognizer = NumberRecognizer::BuiltIn();
    Speeds s{1e300, 1e300, 1e300};
    // Taking turns, so that a slow moment of the machine does not fall on one alone.
    for (int run = 0; run < runs; ++run) {
        s.clean = std::min(s.clean, BestNanoseconds(lines, 1, [](std::string_view line) {
                               const CleanedEntry e = CleanEntry(line);
                               return static_cast<std::size_t>(e.kind) + e.digits[10];
                           }));
        s.first = std::min(s.first, BestNanoseconds(lines, 1, [&](std::string_view line) {
                               const FirstNumber f = recognizer.First(line);
                               return static_cast<std::size_t>(f.kind) + f.found.number.digits[10];
                           }));
        s.every = std::min(s.every, BestNanoseconds(lines, 1, [&](std::string_view line) {
                               std::size_t n = 0;
                               recognizer.ForEach(
                                   line, [&n](const FoundNumber& f) { n += f.number.size; });
                               return n;
                           }));
    }
    return s;
}

void PrintSpeeds(const char* what, const Speeds& s) {
    std::printf("  %-40s %8.1f %10.1f %10.1f   %5.2f x  (%.1f million lines/s)\n", what, s.clean,
                s.first, s.every, s.first / s.clean, 1000.0 / s.first);
}

std::string Percent(std::size_t part, std::size_t whole) {
    char text[64];
    if (whole == 0) return "-";
    std::snprintf(text, sizeof text, "%6.2f %% of %zu",
                  100.0 * static_cast<double>(part) / static_cast<double>(whole), whole);
    return text;
}

struct Tally {
    std::size_t mobiles = 0, mobiles_found = 0, mobiles_cleaned = 0;
    std::size_t others = 0, others_found = 0;  // landlines and service numbers
    std::size_t made_up = 0;
    std::size_t made_up_lines = 0;
};

// Counts what the recognizer finds in each line against the line's truth; made-up numbers are
// also counted by the decoys of their line.
Tally Count(const std::vector<bench::TruthLine>& lines,
            std::map<unsigned, std::pair<std::size_t, std::size_t>>& by_decoy,
            std::vector<std::string>& examples) {
    const NumberRecognizer& recognizer = NumberRecognizer::BuiltIn();
    Tally t;
    for (const bench::TruthLine& line : lines) {
        std::vector<std::string> found;
        recognizer.ForEach(
            line.text, [&found](const FoundNumber& f) { found.emplace_back(f.number.Digits()); });
        std::vector<std::string> expected = line.numbers;
        std::size_t made_up = 0;
        for (const std::string& n : found) {
            const auto at = std::find(expected.begin(), expected.end(), n);
            if (at == expected.end()) {
                ++made_up;
                continue;
            }
            if (n[0] == '1')
                ++t.mobiles_found;
            else
                ++t.others_found;
            expected.erase(at);
        }
        // Lost numbers stay in `expected`.
        for (const std::string& n : expected)
            if (examples.size() < 12) examples.push_back("lost " + n + " in: " + line.text);
        for (const std::string& n : line.numbers) (n[0] == '1' ? t.mobiles : t.others) += 1;
        const CleanedEntry cleaned = CleanEntry(line.text);
        if (cleaned.kind == EntryKind::Number && std::find(line.numbers.begin(), line.numbers.end(),
                                                           cleaned.Number()) != line.numbers.end())
            ++t.mobiles_cleaned;
        t.made_up += made_up;
        t.made_up_lines += made_up != 0;
        if (made_up != 0 && examples.size() < 24) examples.push_back("made up in: " + line.text);
        for (const unsigned decoy : bench::kDecoys) {
            if ((line.decoys & decoy) == 0) continue;
            by_decoy[decoy].first += 1;
            by_decoy[decoy].second += made_up;
        }
    }
    return t;
}

}  // namespace

int main(int argc, char** argv) {
    std::size_t count = 1000000;
    int runs = 7;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--lines") == 0) count = std::strtoul(argv[i + 1], nullptr, 10);
        if (std::strcmp(argv[i], "--runs") == 0) runs = std::atoi(argv[i + 1]);
    }
    const std::size_t mixed_count = std::max<std::size_t>(count / 5, 1);

    std::printf(
        "speed, lines in memory, best of %d (processor ns per line)  CleanEntry      first      "
        "every   first/CleanEntry\n",
        runs);
    {
        const LineBuffer plain = PlainList(count);
        PrintSpeeds("plain numbers, one a line", Measure(Lines(plain), runs));
        const LineBuffer realistic = RealisticList(count);
        PrintSpeeds("the realistic list (bench/realistic_list)", Measure(Lines(realistic), runs));
        std::size_t cleaned = 0, differ = 0;
        const std::vector<std::string_view> lines = Lines(realistic);
        for (const std::string_view line : lines) {
            const CleanedEntry entry = CleanEntry(line);
            const FirstNumber first = NumberRecognizer::BuiltIn().First(line);
            if (entry.kind == EntryKind::Number) ++cleaned;
            if (entry.kind != first.kind ||
                (entry.kind == EntryKind::Number && entry.Number() != first.found.number.Digits()))
                ++differ;
        }
        std::printf(
            "  of the realistic list's %zu lines, CleanEntry made %zu numbers; the "
            "recognizer's first number differs on %zu lines\n",
            lines.size(), cleaned, differ);
    }
    std::vector<std::vector<bench::TruthLine>> mixed;
    for (const bench::ListSource source : bench::kListSources) {
        mixed.push_back(bench::MixedList(source, mixed_count));
        const LineBuffer buffer = MixedLines(mixed.back());
        PrintSpeeds(std::string(bench::ListSourceName(source)).c_str(),
                    Measure(Lines(buffer), runs));
    }

    std::printf(
        "\nnumbers found in generated lists of %zu lines each (aim: >= 99 %% of "
        "mobiles, none made up)\n",
        mixed_count);
    std::printf("  %-26s %-24s %-24s %9s   %s\n", "", "mobiles found", "landlines, service found",
                "made up", "CleanEntry: mobiles");
    std::map<unsigned, std::pair<std::size_t, std::size_t>> by_decoy;
    std::vector<std::string> examples;
    Tally all;
    for (std::size_t i = 0; i < mixed.size(); ++i) {
        const Tally t = Count(mixed[i], by_decoy, examples);
        std::printf("  %-26s %-24s %-24s %9zu   %s\n",
                    std::string(bench::ListSourceName(bench::kListSources[i])).c_str(),
                    Percent(t.mobiles_found, t.mobiles).c_str(),
                    Percent(t.others_found, t.others).c_str(), t.made_up,
                    Percent(t.mobiles_cleaned, t.mobiles).c_str());
        all.mobiles += t.mobiles, all.mobiles_found += t.mobiles_found;
        all.others += t.others, all.others_found += t.others_found;
        all.made_up += t.made_up, all.mobiles_cleaned += t.mobiles_cleaned;
    }
    std::printf("  %-26s %-24s %-24s %9zu   %s\n", "all",
                Percent(all.mobiles_found, all.mobiles).c_str(),
                Percent(all.others_found, all.others).c_str(), all.made_up,
                Percent(all.mobiles_cleaned, all.mobiles).c_str());
    std::printf("numbers made up in lines holding (aim: 0)\n");
    for (const unsigned decoy : bench::kDecoys) {
        const auto& [lines, made_up] = by_decoy[decoy];
        std::printf("  %-20s %7zu lines, %zu numbers made up\n",
                    std::string(bench::DecoyName(decoy)).c_str(), lines, made_up);
    }
    for (const std::string& example : examples) std::printf("  %s\n", example.c_str());
    return 0;
}
