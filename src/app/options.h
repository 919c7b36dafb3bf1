#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace numtrail {

struct AppOptions {
    QString lookup_url;  // the attribution endpoint, without query
    QString update_url;  // the update server; the manifest path is appended
    QString data_file;   // the prefix data file of the window's own look-ups, if any
    // The online service the window asks for what its own data does not place, if any.
    QString upstream_url;
    int timeout_seconds = 0;
    bool journal = true;    // keep the results journal (off with --no-journal)
    int journal_days = 30;  // the journal's days kept; older ones are removed at start
    bool lookup_url_given = false;
    bool update_url_given = false;
};

struct OptionsOutcome {
    std::optional<AppOptions> options;  // empty when the program should exit
    int exit_code = 0;
    QString output;  // help, version or the error, for the terminal
};

// Parses the command line (arguments[0] is the program).
OptionsOutcome ParseOptions(const QStringList& arguments);

// The command line without the options Qt takes for itself when the application object is
// made (-platform NAME, -style=NAME, -reverse and the like, with one dash or two), so that
// it can be parsed before then: a usage error needs no display.
QStringList WithoutToolkitOptions(const QStringList& arguments);

// The folder that holds the help pages (help/): the program's own in the build folder,
// ../share/numtrail once installed; the program's when neither has them.
QString HelpFolder(const QString& program_folder);

// "http://host:port/path?x" → "http://host:port"
QString ServerRootOf(const QString& url);

// Where the results journal goes: Numtrail/journal in $XDG_DATA_HOME, or in ~/.local/share
// when that is unset or not an absolute path. Empty with --no-journal, or when neither
// variable gives a place.
QString JournalFolder(const AppOptions& options);

}  // namespace numtrail
