// The main window at the scale users bring: a batch of 100,000 entries at speed "0" against
// local data (looked up in the program), the import of 1,000,000 entries and the export of
// 1,000,000 result rows, each through the window's own controls, the window shown (offscreen).
// Figures and ratios against references measured in the same run:
//   batch:  the same look-ups back to back without the window, alone and with the journal's
//           writes (the floor for a batch); the window's answer to input: the longest delay of a
//           timer and of a posted event sent every 10 ms throughout the run; resident memory at
//           the end.
//   import: reading the same file into entries alone (ReadNumberList).
//   export: writing the same bytes to the same disk.
// window_bench [--entries N] [--import N] [--export N]
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QMenu>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "app/form1.h"
#include "app/local_lookups.h"
#include "attribution/attributor.h"
#include "lookup/batch_runner.h"
#include "lookup/lookup_rules.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/random.h"
#include "realistic_list.h"
#include "results/export_format.h"
#include "results/number_list.h"
#include "results/result_journal.h"
#include "results/result_list_model.h"

namespace {

using namespace numtrail;

// Answers the window's file dialogs with the paths the benchmark set and every message box
// with OK; a box the run should not have shown is reported.
class BenchDialogs final : public Dialogs {
  public:
    MessageAnswer Message(const MessagePrompt& prompt) override {
        if (!expected_messages.contains(prompt.text))
            std::fprintf(stderr, "unexpected message box: %s\n", qPrintable(prompt.text));
        return prompt.buttons == MessageButtons::Ok ? MessageAnswer::Ok : MessageAnswer::Yes;
    }
    std::optional<QString> Input(const QString&, const QString&) override { return {}; }
    std::optional<QString> OpenFile(const FileDialogPrompt&) override { return open_path; }
    std::optional<QString> SaveFile(const FileDialogPrompt&) override { return save_path; }

    QString open_path;
    QString save_path;
    QStringList expected_messages;
};

class NoShell final : public Shell {
  public:
    void OpenPage(const QString&) override {}
};

class NoClipboard final : public Clipboard {
  public:
    void Clear() override {}
    void SetText(const QString&) override {}
    QString Text() const override { return {}; }
};

class AbortingEnd final : public ProgramEnd {
  protected:
    [[noreturn]] void End() override { std::abort(); }
};

// The window fetches nothing here: there is no endpoint and no update server.
class NoFetcher final : public Fetcher {
  public:
    FetchResult Fetch(const QString& url) override {
        std::fprintf(stderr, "unexpected fetch: %s\n", qPrintable(url));
        return {false, {}, QStringLiteral("no network in this benchmark")};
    }
};

// Counts the numbers the window asks its answer source about, in order.
class CountingAttributor final : public attribution::Attributor {
  public:
    explicit CountingAttributor(attribution::Attributor& source) : source_(source) {}
    attribution::Answer Attribute(const attribution::Number& number) override {
        asked.emplace_back(number.Digits());
        return source_.Attribute(number);
    }
    bool MayBlock(const attribution::Number& number) const override {
        return source_.MayBlock(number);
    }
    std::vector<std::string> asked;

  private:
    attribution::Attributor& source_;
};

// Measures how long the window keeps input waiting: a precise 10 ms timer notes how late it
// fires, and posts an event whose delivery delay it notes too.
class LatencyProbe final : public QObject {
  public:
    LatencyProbe() {
        timer_.setTimerType(Qt::PreciseTimer);
        timer_.setInterval(kEveryMs);
        connect(&timer_, &QTimer::timeout, this, [this] {
            const qint64 now = clock_.nsecsElapsed();
            if (last_fired_ >= 0) Note(now - last_fired_ - kEveryMs * 1000000LL);
            last_fired_ = now;
            QCoreApplication::postEvent(this, new PostedAt(now));
        });
    }
    void Start() {
        clock_.start();
        timer_.start();
    }
    void Stop() { timer_.stop(); }
    qint64 worst_ns = 0;
    int waits_over_50ms = 0;

  protected:
    void customEvent(QEvent* event) override {
        const qint64 delay = clock_.nsecsElapsed() - static_cast<PostedAt*>(event)->at;
        Note(delay);
    }
    void Note(qint64 delay) {
        if (delay > 50000000) ++waits_over_50ms;
        worst_ns = std::max(worst_ns, delay);
    }

  private:
    static constexpr int kEveryMs = 10;
    struct PostedAt : QEvent {
        explicit PostedAt(qint64 t) : QEvent(QEvent::User), at(t) {}
        qint64 at;
    };
    QTimer timer_;
    QElapsedTimer clock_;
    qint64 last_fired_ = -1;
};

long ResidentKiB(const char* key) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(static_cast<qsizetype>(std::strlen(key)))
                .trimmed()
                .split(' ')
                .value(0)
                .toLong();
    return -1;
}

bool WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

QByteArray ListBytes(int entries) {
    const std::string list = bench::RealisticList(static_cast<std::size_t>(entries));
    return QByteArray(list.data(), static_cast<qsizetype>(list.size()));
}

double Seconds(const QElapsedTimer& t) { return static_cast<double>(t.nsecsElapsed()) / 1e9; }

struct Bench {
    BenchDialogs dialogs;
    NoShell shell;
    NoClipboard clipboard;
    AbortingEnd end;
    SystemClock clock;
    ProcessRandom random;
    DiskFileStore files;
    NoFetcher fetcher;
    Platform platform{dialogs, shell, clipboard, end, clock, random, files, fetcher};
    QTemporaryDir folder;
    std::unique_ptr<Form1> form;

    template <typename T>
    T* Find(const char* name) {
        T* w = form->findChild<T*>(QString::fromLatin1(name));
        if (!w) {
            std::fprintf(stderr, "no %s in the window\n", name);
            std::exit(1);
        }
        return w;
    }

    // Imports a list through the import button; the seconds until the window has shown it.
    double Import(const QByteArray& bytes) {
        dialogs.open_path = folder.filePath(QStringLiteral("list.txt"));
        if (!WriteFile(dialogs.open_path, bytes)) std::exit(1);
        QElapsedTimer t;
        t.start();
        Find<QPushButton>("Command2")->click();
        QCoreApplication::processEvents();  // layout and paint, as the user would see it
        return Seconds(t);
    }

    // Exports the result list through the menu; the seconds it took.
    double Export() {
        dialogs.save_path = folder.filePath(QStringLiteral("export.txt"));
        dialogs.expected_messages = {QStringLiteral("成功导出全部数据!")};
        QElapsedTimer t;
        t.start();
        Find<QMenu>("menu")->findChild<QAction*>(QStringLiteral("dcqb"))->trigger();
        return Seconds(t);
    }
};

int Run(int entries, int import_entries, int export_rows) {
    Bench b;
    // Built-in data, no data file of the user's.
    qputenv("XDG_DATA_HOME", b.folder.path().toUtf8());
    AppOptions options;
    LocalLookups local(options);
    CountingAttributor counting(local.Attributor());
    // With the results journal, as the program keeps it by default.
    Form1Settings settings;
    settings.attributor = &counting;
    settings.program_folder = b.folder.path();
    settings.journal_folder = b.folder.filePath(QStringLiteral("journal"));
    b.form = std::make_unique<Form1>(b.platform, settings);
    b.form->Load();

    // --- the batch
    const QByteArray list = ListBytes(entries);
    const double import_seconds = b.Import(list);
    const QStringList pending = ReadNumberList(list).entries.ToList();
    std::vector<std::string> expected;
    for (const QString& n : pending)
        if (CheckNumber(n) == NumberCheck::Ok) expected.push_back(n.toStdString());

    auto* speeds = b.Find<QComboBox>("Combo1");
    speeds->setCurrentIndex(0);
    emit speeds->activated(0);
    auto* runner = b.Find<BatchRunner>("BatchRunner");
    QEventLoop finished;
    QObject::connect(runner, &BatchRunner::RunFinished, &finished, &QEventLoop::quit);
    LatencyProbe probe;
    QElapsedTimer t;
    t.start();
    probe.Start();
    b.Find<QPushButton>("Command3")->click();
    finished.exec();
    probe.Stop();
    const double batch_seconds = Seconds(t);
    const long rss = ResidentKiB("VmRSS:");
    const long peak = ResidentKiB("VmHWM:");
    const bool each_once = counting.asked == expected;
    b.Find<QPushButton>("Command3")->click();  // back to idle, which lets the import in

    // The reference: the same look-ups back to back without the window, alone and with the
    // journal's writes of their rows.
    const auto per_lookup_without = [&](ResultJournal* journal) {
        QElapsedTimer r;
        r.start();
        for (const std::string& n : expected) {
            const attribution::Number number = attribution::MobileNumber(n);
            const attribution::Record row =
                attribution::RowOf(number, local.Attributor().Attribute(number));
            if (journal && !row.province.empty()) journal->Append(row, QueryMode::Batch);
        }
        return Seconds(r) / static_cast<double>(expected.size());
    };
    ResultJournal journal(b.folder.filePath(QStringLiteral("reference")).toStdString(), b.clock);
    const double reference_per_lookup = per_lookup_without(nullptr);
    const double journalled_per_lookup = per_lookup_without(&journal);
    const double per_lookup = batch_seconds / static_cast<double>(expected.size());

    std::printf("batch of %d entries (%zu numbers) at speed 0 against local data\n", entries,
                expected.size());
    std::printf("  finished in %.2f s (aim <= 5 s)   %.1f us a look-up\n", batch_seconds,
                per_lookup * 1e6);
    std::printf(
        "  reference: the same look-ups back to back without the window: %.2f us each "
        "(window = %.0f x)\n",
        reference_per_lookup * 1e6, per_lookup / reference_per_lookup);
    std::printf("  and with the journal's writes of their rows: %.2f us each (window = %.2f x)\n",
                journalled_per_lookup * 1e6, per_lookup / journalled_per_lookup);
    std::printf("  every number looked up once, in order: %s (%zu look-ups); rows written: %zu\n",
                each_once ? "yes" : "NO", counting.asked.size(), b.form->Results().Count());
    std::printf("  longest wait for input: %.1f ms (aim <= 50 ms); waits over 50 ms: %d\n",
                static_cast<double>(probe.worst_ns) / 1e6, probe.waits_over_50ms);
    std::printf("  resident memory at the end: %.0f MB (aim <= 300 MB), peak %.0f MB\n",
                rss / 1024.0, peak / 1024.0);
    std::printf("  import of its %d entries: %.3f s\n", entries, import_seconds);

    // --- import of a large list
    const QByteArray big = ListBytes(import_entries);
    QElapsedTimer s;
    s.start();
    const qsizetype split = ReadNumberList(big).entries.size();
    const double split_seconds = Seconds(s);
    const double big_import = b.Import(big);
    std::printf("import of %d entries (%lld kept): %.2f s (aim <= 2 s) = %.2f x reference\n",
                import_entries, static_cast<long long>(split), big_import,
                big_import / split_seconds);
    std::printf("  reference: cleaning the file's lines alone: %.2f s\n", split_seconds);

    // --- export
    auto* model = qobject_cast<ResultListModel*>(b.Find<QTableView>("ListView1")->model());
    const std::array<attribution::Record, 4> kinds{{
        {"江苏", "常州", "213000", "0519", "中国移动"},
        {"北京", "北京", "100000", "010", "中国联通"},
        {"广东", "深圳", "518000", "0755", "中国电信"},
        {"未知", "未知", "", "", "中国移动"},
    }};
    for (int rows : {100000, export_rows}) {
        b.dialogs.expected_messages = {QStringLiteral("是否确定清空查询列表?")};
        b.Find<QMenu>("menu")->findChild<QAction*>(QStringLiteral("cll"))->trigger();
        QElapsedTimer fill;
        fill.start();
        for (int i = 0; i < rows; ++i) {
            attribution::Record row = kinds[static_cast<std::size_t>(i % 4)];
            row.number = std::to_string(13000000000LL + i * 7);
            model->InsertTop(row);
        }
        QCoreApplication::processEvents();
        const double fill_seconds = Seconds(fill);
        const double export_seconds = b.Export();
        const QByteArray bytes = ExportBytes(b.form->Results());
        QElapsedTimer w;
        w.start();
        b.files.WriteAtomically(b.folder.filePath(QStringLiteral("reference.txt")), bytes);
        const double write_seconds = Seconds(w);
        std::printf("export of %d rows (%.0f MB): %.2f s (aim %s) = %.2f x reference\n", rows,
                    static_cast<double>(bytes.size()) / 1e6, export_seconds,
                    rows > 100000 ? "< 1 s" : "well under 1 s", export_seconds / write_seconds);
        std::printf(
            "  reference: writing the same bytes: %.2f s; the rows went into the shown "
            "list at %.2f us each\n",
            write_seconds, fill_seconds * 1e6 / rows);
    }
    b.form.reset();
    return each_once ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    int entries = 100000, import_entries = 1000000, export_rows = 1000000;
    const QStringList args = app.arguments();
    for (qsizetype i = 1; i + 1 < args.size(); i += 2) {
        const int value = args[i + 1].toInt();
        if (args[i] == QStringLiteral("--entries"))
            entries = value;
        else if (args[i] == QStringLiteral("--import"))
            import_entries = value;
        else if (args[i] == QStringLiteral("--export"))
            export_rows = value;
    }
    return Run(entries, import_entries, export_rows);
}
