// Import speed of a 100,000-line number list: reading the file, cutting it into entries
// and filling a shown list box, as the import button does.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QListWidget>
#include <QTemporaryDir>

#include "platform/files.h"
#include "results/number_list.h"

namespace {

constexpr int kLines = 100000;

// Numbers with CR LF ends, every hundredth line a blank one or one with a Chinese note
// (code page 936), as lists gathered by hand look.
QByteArray ListBytes() {
    QByteArray bytes;
    for (int i = 0; i < kLines; ++i) {
        if (i % 100 == 50)
            bytes += "\r\n";
        else if (i % 100 == 99)
            bytes += "13800138000 \xb1\xb8\xd7\xa2\r\n";  // 备注
        else
            bytes += QByteArray::number(13800000000LL + i) + "\r\n";
    }
    return bytes;
}

void SplitOnly(benchmark::State& state) {
    const QByteArray bytes = ListBytes();
    for (auto _ : state) benchmark::DoNotOptimize(numtrail::SplitNumberList(bytes));
    state.SetBytesProcessed(state.iterations() * bytes.size());
}
BENCHMARK(SplitOnly)->Unit(benchmark::kMillisecond);

void ImportIntoListBox(benchmark::State& state) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("list.txt"));
    numtrail::DiskFileStore files;
    if (!files.WriteAtomically(path, ListBytes()).ok) {
        state.SkipWithError("cannot write the list file");
        return;
    }
    QListWidget list;
    list.setUniformItemSizes(true);
    list.resize(161, 208);
    list.show();
    list.addItems(QStringList(kLines, QStringLiteral("13800138000")));  // a list to replace
    QCoreApplication::processEvents();
    for (auto _ : state) {
        const numtrail::FileReadResult file = files.ReadAll(path);
        const QStringList entries = numtrail::SplitNumberList(file.bytes);
        list.clear();
        list.addItems(entries);
        QCoreApplication::processEvents();  // layout and paint, as the window would
    }
    if (list.count() != kLines - kLines / 100) state.SkipWithError("wrong number of entries");
}
BENCHMARK(ImportIntoListBox)->Unit(benchmark::kMillisecond);

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
