#include "app/options.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QUrl>
#include <algorithm>

#include "app/defaults.h"
#include "attribution/data_file.h"
#include "attribution/protocol.h"
#include "product/product.h"

namespace numtrail {

QString ServerRootOf(const QString& url) {
    const QUrl parsed(url);
    return parsed
        .adjusted(QUrl::RemovePath | QUrl::RemoveQuery | QUrl::RemoveFragment |
                  QUrl::RemoveUserInfo)
        .toString(QUrl::StripTrailingSlash);
}

QString HelpFolder(const QString& program_folder) {
    const QString installed = QDir(program_folder).filePath(QStringLiteral("../share/numtrail"));
    for (const QString& folder : {program_folder, installed})
        if (QDir(folder).exists(QStringLiteral("help"))) return QDir::cleanPath(folder);
    return program_folder;
}

QString JournalFolder(const AppOptions& options) {
    if (!options.journal) return {};
    const std::filesystem::path folder =
        attribution::UserFile("XDG_DATA_HOME", ".local/share", "journal");
    return QFile::decodeName(folder.string().c_str());
}

QStringList WithoutToolkitOptions(const QStringList& arguments) {
    // As Qt 6 reads them, its platform plugins included; Qt reads "--platform" as "-platform".
    static const QStringList with_value =
        QStringLiteral(
            "platform platformpluginpath platformtheme plugin qwindowgeometry geometry "
            "qwindowtitle title qwindowicon icon session style stylesheet display name "
            "visual")
            .split(QLatin1Char(' '));
    static const QStringList flags =
        QStringLiteral("reverse testability widgetcount nograb dograb").split(QLatin1Char(' '));
    static const QStringList with_equals =
        QStringLiteral("qmljsdebugger= style= stylesheet=").split(QLatin1Char(' '));
    QStringList kept = arguments.mid(0, 1);
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& word = arguments[i];
        const QString name = word.mid(word.startsWith(QStringLiteral("--")) ? 2 : 1);
        if (!word.startsWith(QLatin1Char('-'))) {
            kept << word;
        } else if (with_value.contains(name)) {
            ++i;  // and its value
        } else if (!flags.contains(name) &&
                   std::none_of(with_equals.begin(), with_equals.end(),
                                [&](const QString& prefix) { return name.startsWith(prefix); })) {
            kept << word;
        }
    }
    return kept;
}

OptionsOutcome ParseOptions(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Looks up the attribution of Chinese mobile numbers."));
    const QCommandLineOption help_option({QStringLiteral("h"), QStringLiteral("help")},
                                         QStringLiteral("Show this help."));
    const QCommandLineOption version_option(QStringLiteral("version"),
                                            QStringLiteral("Show the program's version."));
    const QCommandLineOption lookup_option(
        QStringLiteral("lookup-url"),
        QStringLiteral("The attribution endpoint (default: the program's own data, looked up "
                       "in the program)."),
        QStringLiteral("URL"));
    const QCommandLineOption update_option(
        QStringLiteral("update-url"),
        QStringLiteral("The update server; %1 is appended (default: the attribution "
                       "endpoint's scheme, host and port; without an endpoint, no update "
                       "check).")
            .arg(QLatin1StringView(attribution::kManifestPath)),
        QStringLiteral("URL"));
    const QCommandLineOption timeout_option(
        QStringLiteral("timeout"),
        QStringLiteral("Seconds a fetch may take (default: %1).").arg(kDefaultTimeoutSeconds),
        QStringLiteral("SECONDS"));
    const QCommandLineOption data_option(
        QStringLiteral("data"),
        QStringLiteral("A 7-digit prefix data file for the program's own lookups; its entries win "
                       "over the built-in data (default: $XDG_DATA_HOME/Numtrail/phone.dat "
                       "when it exists)."),
        QStringLiteral("FILE"));
    const QCommandLineOption upstream_option(
        QStringLiteral("upstream"),
        QStringLiteral("An attribution endpoint the program asks, once per prefix, for the "
                       "numbers its own data does not place; answers are cached."),
        QStringLiteral("URL"));
    const QCommandLineOption no_journal_option(
        QStringLiteral("no-journal"),
        QStringLiteral("Keep no results journal (default: every result row is also appended to "
                       "$XDG_DATA_HOME/Numtrail/journal/YYYY-MM-DD.csv)."));
    const QCommandLineOption journal_days_option(
        QStringLiteral("journal-days"),
        QStringLiteral("Days the results journal keeps, %1 to %2; older day files are removed "
                       "at start (default: %3).")
            .arg(kMinJournalDays)
            .arg(kMaxJournalDays)
            .arg(AppOptions{}.journal_days),
        QStringLiteral("DAYS"));
    parser.addOptions({help_option, version_option, lookup_option, update_option, timeout_option,
                       data_option, upstream_option, no_journal_option, journal_days_option});

    OptionsOutcome outcome;
    if (!parser.parse(arguments)) {
        outcome.exit_code = 2;
        outcome.output = parser.errorText() + QLatin1Char('\n');
        return outcome;
    }
    if (parser.isSet(help_option)) {
        // Help is answered before the application object exists, and Qt needs that object
        // to name the program in the usage line.
        outcome.output =
            parser.helpText().replace(QStringLiteral("<executable_name>"), arguments.value(0));
        return outcome;
    }
    if (parser.isSet(version_option)) {
        outcome.output = QStringLiteral("numtrail %1\n").arg(QLatin1StringView(product::kVersion));
        return outcome;
    }
    if (!parser.positionalArguments().isEmpty()) {
        outcome.exit_code = 2;
        outcome.output =
            QStringLiteral("unexpected argument: %1\n").arg(parser.positionalArguments().first());
        return outcome;
    }

    AppOptions options;
    options.lookup_url_given = parser.isSet(lookup_option);
    options.update_url_given = parser.isSet(update_option);
    // Options of the program's own lookups mean nothing when a service answers.
    for (const QCommandLineOption* service_option : {&data_option, &upstream_option}) {
        if (!options.lookup_url_given || !parser.isSet(*service_option)) continue;
        outcome.exit_code = 2;
        outcome.output = QStringLiteral(
                             "--%1 is for the program's own lookups; it cannot go "
                             "with --lookup-url\n")
                             .arg(service_option->names().constFirst());
        return outcome;
    }
    options.lookup_url = options.lookup_url_given ? parser.value(lookup_option) : QString();
    options.update_url =
        options.update_url_given ? parser.value(update_option) : ServerRootOf(options.lookup_url);
    options.data_file = parser.value(data_option);
    options.upstream_url = parser.value(upstream_option);
    options.journal = !parser.isSet(no_journal_option);
    if (parser.isSet(journal_days_option)) {
        bool ok = false;
        const int days = parser.value(journal_days_option).toInt(&ok);
        if (!ok || days < kMinJournalDays || days > kMaxJournalDays) {
            outcome.exit_code = 2;
            outcome.output = QStringLiteral(
                                 "--journal-days takes a whole number of days from %1 "
                                 "to %2\n")
                                 .arg(kMinJournalDays)
                                 .arg(kMaxJournalDays);
            return outcome;
        }
        options.journal_days = days;
    }
    options.timeout_seconds = kDefaultTimeoutSeconds;
    if (parser.isSet(timeout_option)) {
        bool ok = false;
        const int seconds = parser.value(timeout_option).toInt(&ok);
        // The fetch counts in milliseconds; a day is far beyond any answer worth waiting for.
        if (!ok || seconds < 1 || seconds > kMaxTimeoutSeconds) {
            outcome.exit_code = 2;
            outcome.output = QStringLiteral(
                                 "--timeout takes a whole number of seconds from 1 to "
                                 "%1\n")
                                 .arg(kMaxTimeoutSeconds);
            return outcome;
        }
        options.timeout_seconds = seconds;
    }
    outcome.options = options;
    return outcome;
}

}  // namespace numtrail
