// Import speed of number lists: reading the file, decoding and cleaning it into entries and
// filling a shown list box, as the import button does; against filling the same list box
// with entries already in memory, which no import can beat.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QListView>
#include <QTemporaryDir>

#include "numbers/entry_cleaning.h"
#include "numbers/list_text.h"
#include "platform/files.h"
#include "realistic_list.h"
#include "results/entry_list_model.h"
#include "results/number_list.h"

namespace {

// Numbers with CR LF ends, every hundredth line a blank one or one with a Chinese note
// (code page 936), as lists gathered by hand used to look.
QByteArray ClassicList(int lines) {
    QByteArray bytes;
    for (int i = 0; i < lines; ++i) {
        if (i % 100 == 50)
            bytes += "\r\n";
        else if (i % 100 == 99)
            bytes += "13800138000 \xb1\xb8\xd7\xa2\r\n";  // 备注
        else
            bytes += QByteArray::number(13800000000LL + i) + "\r\n";
    }
    return bytes;
}

QByteArray RealisticList(int lines) {
    const std::string bytes = numtrail::bench::RealisticList(static_cast<std::size_t>(lines));
    return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

void SplitOnly(benchmark::State& state, QByteArray (*make)(int), int lines) {
    const QByteArray bytes = make(lines);
    for (auto _ : state) benchmark::DoNotOptimize(numtrail::ReadNumberList(bytes).entries);
    state.SetItemsProcessed(state.iterations() * lines);
}
BENCHMARK_CAPTURE(SplitOnly, classic_100k, ClassicList, 100000)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(SplitOnly, classic_1m, ClassicList, 1000000)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(SplitOnly, realistic_1m, RealisticList, 1000000)->Unit(benchmark::kMillisecond);

// The Qt-free part alone, as a command line that streams lines would use it.
void CleanOnly(benchmark::State& state, QByteArray (*make)(int), int lines) {
    const QByteArray bytes = make(lines);
    for (auto _ : state) {
        std::size_t numbers = 0;
        numtrail::ForEachListLine({bytes.constData(), static_cast<std::size_t>(bytes.size())},
                                  [&numbers](std::string_view line) {
                                      numbers += numtrail::CleanEntry(line).kind ==
                                                 numtrail::EntryKind::Number;
                                  });
        benchmark::DoNotOptimize(numbers);
    }
    state.SetItemsProcessed(state.iterations() * lines);
}
BENCHMARK_CAPTURE(CleanOnly, realistic_1m, RealisticList, 1000000)->Unit(benchmark::kMillisecond);

// A shown list box that already holds a list, as the window's does before an import.
struct ShownList {
    explicit ShownList(qsizetype entries) {
        list.setModel(&model);
        list.setUniformItemSizes(true);
        list.resize(161, 208);
        list.show();
        numtrail::NumberEntries filler;
        for (qsizetype i = 0; i < entries; ++i) filler.Append(std::string_view("13800138000"));
        Replace(std::move(filler));
    }
    void Replace(numtrail::NumberEntries entries) {
        model.Replace(std::move(entries));
        QCoreApplication::processEvents();  // layout and paint, as the window would
    }
    numtrail::EntryListModel model;
    QListView list;
};

void ImportIntoListBox(benchmark::State& state, QByteArray (*make)(int), int lines) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("list.txt"));
    numtrail::DiskFileStore files;
    const QByteArray bytes = make(lines);
    if (!files.WriteAtomically(path, bytes).ok) {
        state.SkipWithError("cannot write the list file");
        return;
    }
    const qsizetype expected = numtrail::ReadNumberList(bytes).entries.size();
    ShownList shown(expected);
    for (auto _ : state) {
        const numtrail::FileReadResult file = files.ReadAll(path);
        shown.Replace(numtrail::ReadNumberList(file.bytes).entries);
    }
    if (shown.model.rowCount() != expected) state.SkipWithError("wrong number of entries");
    state.SetItemsProcessed(state.iterations() * lines);
}
BENCHMARK_CAPTURE(ImportIntoListBox, classic_100k, ClassicList, 100000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ImportIntoListBox, classic_1m, ClassicList, 1000000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ImportIntoListBox, realistic_1m, RealisticList, 1000000)
    ->Unit(benchmark::kMillisecond);

// The reference: the same list box filled with a million entries already read.
void FillListBox(benchmark::State& state) {
    const numtrail::NumberEntries entries =
        numtrail::ReadNumberList(RealisticList(1000000)).entries;
    ShownList shown(entries.size());
    for (auto _ : state) shown.Replace(entries);
    state.SetItemsProcessed(state.iterations() * entries.size());
}
BENCHMARK(FillListBox)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
