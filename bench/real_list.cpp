// How much of a number list as users bring it comes out whole: the list is imported as the
// window imports it, and every entry that the batch would look up is asked of the service
// as the batch asks it, one after the other.
//   real_list --write FILE [--count N]      writes the realistic list (2,000 entries)
//   real_list FILE [--url URL | --data FILE]
// Without --url the attribution service runs in this process, on a loopback port: built-in
// data, plus the data file given with --data.
#include <QCoreApplication>
#include <QFile>
#include <QThread>
#include <cstdio>
#include <map>
#include <optional>

#include "lookup/get_body.h"
#include "lookup/lookup_rules.h"
#include "numbers/entry_cleaning.h"
#include "numbers/list_text.h"
#include "realistic_list.h"
#include "results/number_list.h"
#include "service/attribution_service.h"

namespace {

using namespace numtrail;

struct Arguments {
    QString list;
    QString write;
    int count = 2000;
    QString url;
    QString data;
};

std::optional<Arguments> Parse(const QStringList& args) {
    Arguments a;
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString& arg = args[i];
        const bool has_value = i + 1 < args.size();
        if (arg == QStringLiteral("--write") && has_value)
            a.write = args[++i];
        else if (arg == QStringLiteral("--count") && has_value)
            a.count = args[++i].toInt();
        else if (arg == QStringLiteral("--url") && has_value)
            a.url = args[++i];
        else if (arg == QStringLiteral("--data") && has_value)
            a.data = args[++i];
        else if (!arg.startsWith(QLatin1Char('-')) && a.list.isEmpty())
            a.list = arg;
        else
            return std::nullopt;
    }
    if (a.write.isEmpty() == a.list.isEmpty() || a.count <= 0) return std::nullopt;
    if (!a.url.isEmpty() && !a.data.isEmpty()) return std::nullopt;
    return a;
}

int Write(const Arguments& a) {
    const std::string bytes = bench::RealisticList(static_cast<std::size_t>(a.count));
    QFile file(a.write);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(bytes.data(), static_cast<qint64>(bytes.size())) !=
            static_cast<qint64>(bytes.size())) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(a.write));
        return 1;
    }
    return 0;
}

// The answer to one number as the batch would end up with it: a failed fetch or an empty
// answer is asked again, a refusal after a pause, as a user would press start again.
std::optional<attribution::Record> Look(const QString& endpoint, const QString& n) {
    FetchOptions options;
    options.timeout_ms = 10000;
    for (int attempt = 0; attempt < 10; ++attempt) {
        QString answer;
        try {
            answer = GetBody(AttributionUrl(endpoint, n), options);
        } catch (const FetchError&) {
        }
        if (answer.isEmpty() || IsRateLimited(answer)) {
            QThread::msleep(200 * (attempt + 1));
            continue;
        }
        return ResultFromSlots(n, ParseAnswer(answer));
    }
    return std::nullopt;
}

QString Percent(qsizetype part, qsizetype whole) {
    return whole == 0
               ? QStringLiteral("-")
               : QString::number(100.0 * static_cast<double>(part) / static_cast<double>(whole),
                                 'f', 1) +
                     QStringLiteral(" %");
}

int Report(const Arguments& a) {
    QFile file(a.list);
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(a.list));
        return 1;
    }
    const QByteArray bytes = file.readAll();

    std::unique_ptr<service::AttributionService> running;
    QString endpoint = a.url;
    if (endpoint.isEmpty()) {
        service::ServiceOptions options;
        options.port = 0;
        if (!a.data.isEmpty()) options.data_file = a.data.toStdString();
        try {
            running = service::AttributionService::Start(options);
        } catch (const service::ServiceError& error) {
            std::fprintf(stderr, "%s\n", error.what());
            return 1;
        }
        endpoint = QStringLiteral("http://127.0.0.1:%1/query").arg(running->Port());
    }

    // A line or entry that is a number exactly as it stands.
    const auto is_clean = [](std::string_view text) {
        const CleanedEntry entry = CleanEntry(text);
        return entry.kind == EntryKind::Number && entry.Number() == text;
    };
    qsizetype lines = 0, clean_as_written = 0;
    ForEachListLine({bytes.constData(), static_cast<std::size_t>(bytes.size())},
                    [&](std::string_view line) {
                        ++lines;
                        clean_as_written += is_clean(line);
                    });
    const QStringList entries = ReadNumberList(bytes).entries.ToList();

    qsizetype clean = 0, looked_up = 0, rows = 0, no_answer = 0, with_city = 0;
    qsizetype no_postcode = 0, no_area_code = 0;
    std::map<QString, int> missing;  // numbers without a row, by segment
    for (const QString& n : entries) {
        clean += is_clean(n.toStdString());
        if (CheckNumber(n) != NumberCheck::Ok) continue;  // the batch skips it
        ++looked_up;
        const std::optional<attribution::Record> result = Look(endpoint, n);
        if (!result) {
            ++no_answer;
            continue;
        }
        if (result->province.empty()) {
            ++missing[n.left(3)];
            continue;
        }
        ++rows;
        if (result->city.empty() || result->city == attribution::kUnknownPlace) continue;
        ++with_city;
        no_postcode += result->postcode.empty();
        no_area_code += result->area_code.empty();
    }

    const qsizetype count = entries.size();
    std::printf("list %s, service %s\n", qPrintable(a.list),
                a.url.isEmpty() ? (a.data.isEmpty() ? "in process, built-in data"
                                                    : "in process, built-in data and --data")
                                : qPrintable(a.url));
    std::printf("  lines with text:                 %6lld\n", static_cast<long long>(lines));
    std::printf(
        "  of which numbers as written:     %6lld  (all that reached the batch before the "
        "import cleaned entries)\n",
        static_cast<long long>(clean_as_written));
    std::printf("  entries after the import:        %6lld\n", static_cast<long long>(count));
    std::printf("  clean numbers:                   %6lld  %s of entries\n",
                static_cast<long long>(clean), qPrintable(Percent(clean, count)));
    std::printf("  looked up by the batch:          %6lld\n", static_cast<long long>(looked_up));
    std::printf(
        "  with a row (province not empty): %6lld  %s of clean numbers (aim 100 %%), "
        "%s of entries (aim >= 98 %%)\n",
        static_cast<long long>(rows), qPrintable(Percent(rows, clean)),
        qPrintable(Percent(rows, count)));
    if (no_answer)
        std::printf("  never answered:                  %6lld\n",
                    static_cast<long long>(no_answer));
    if (!missing.empty()) {
        std::printf("  without a row, by segment:");
        for (const auto& [segment, numbers] : missing)
            std::printf(" %s:%d", qPrintable(segment), numbers);
        std::printf("\n");
    }
    std::printf(
        "  rows that name a city:           %6lld  without postcode %lld, without area "
        "code %lld (aim 0 and 0)\n",
        static_cast<long long>(with_city), static_cast<long long>(no_postcode),
        static_cast<long long>(no_area_code));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const std::optional<Arguments> args = Parse(QCoreApplication::arguments());
    if (!args) {
        std::fprintf(stderr,
                     "usage: real_list --write FILE [--count N]\n"
                     "       real_list FILE [--url URL | --data FILE]\n");
        return 2;
    }
    return args->write.isEmpty() ? Report(*args) : Write(*args);
}
