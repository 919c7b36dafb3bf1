// numtrail-lookup: attributes every line of number lists, as fast as the lines can be read.
// Built twice: as numtrail-lookup, which hands runs with --upstream to numtrail-lookup-online,
// and as that program (NUMTRAIL_LOOKUP_ONLINE), the only one that loads the HTTP and TLS
// libraries.
#include <chrono>
#include <map>
#include <string>
#include <string_view>
#include <utility>

#include "bulk/lookup.h"
#include "cli/command_line.h"
#ifdef NUMTRAIL_LOOKUP_ONLINE
#include "bulk/upstream_session.h"
#else
#include "bulk/online_program.h"
#endif

namespace {

using numtrail::bulk::Format;
using numtrail::cli::WholeNumber;

constexpr std::string_view kFooter =
    "Each FILE is read in turn (standard input when there is none, or for \"-\"), in the\n"
    "encoding the window's import would choose, and every line gives one row, in order: blank\n"
    "lines and lines without a number too. The row is about the first telephone number found\n"
    "in the line, wherever it stands: a mobile, a landline (0, an area code, a local number)\n"
    "or a 400/800 service number. With --every-number each number found gives a row, headed\n"
    "by its line's number (counted over all FILEs), and a line without one gives one row.\n"
    "\n"
    "Columns: the line as read, the number's digits as recognised, province, city, area\n"
    "code, postcode, card type, a status: ok, unknown-place (an assigned segment that no data\n"
    "places), unassigned, bad-format (no number in the line), and the number's kind: mobile,\n"
    "landline, service, or empty.\n"
    "\n"
    "Formats: csv (UTF-8, header row, RFC 4180), tsv (UTF-8, header row; tab, CR, LF and\n"
    "backslash in a field written \\t \\r \\n \\\\), jsonl (one JSON object a line), fixed (the\n"
    "window's export line: code page 936, CR LF), table (the window's CSV table: UTF-8 with a\n"
    "byte order mark, its header, one row per number found with the window's six columns).\n"
    "\n"
    "With --upstream, a mobile prefix the local data does not place is asked online once;\n"
    "when the online service fails or refuses, the local answer stands and the summary says\n"
    "how often. Landlines and service numbers are answered from local data.\n"
    "\n"
    "Exit status: 0 done, 1 an input, data or output file failed, 2 bad usage.";

}  // namespace

int main(int argc, char** argv) {
    numtrail::bulk::LookupOptions options;
    CLI::App app(
        "Attributes the telephone numbers in every line of number lists: province, city, "
        "area code, postcode and card type, one row per line or per number found.",
        "numtrail-lookup");
    app.footer(std::string(kFooter));
    numtrail::cli::AddCommonOptions(app);
    const std::map<std::string, Format> formats = {{"csv", Format::Csv},
                                                   {"tsv", Format::Tsv},
                                                   {"jsonl", Format::Jsonl},
                                                   {"fixed", Format::Fixed},
                                                   {"table", Format::Table}};
    std::string format = "csv";
    app.add_option("-o,--output", options.output,
                   "write the rows to FILE, replacing it only once complete (default \"-\": "
                   "standard output)")
        ->type_name("FILE");
    app.add_option("--format", format, "csv (default), tsv, jsonl, fixed or table")
        ->type_name("FORMAT")
        ->check(CLI::IsMember(formats));
    app.add_flag("--every-number", options.every_number,
                 "one row per number found, headed by its line's number; a line without a "
                 "number still gives one row (the table format implies it, without those rows)");
    app.add_option("--data", options.data,
                   "7-digit prefix data file; its entries win over the built-in data (default: "
                   "$XDG_DATA_HOME/Numtrail/phone.dat when it exists)")
        ->type_name("FILE");
    auto* upstream =
        app.add_option("--upstream", options.upstream.url,
                       "ask this online attribution endpoint (callback format, without query) "
                       "about each mobile prefix the local data does not place, once, keeping its "
                       "answers in the cache")
            ->type_name("URL");
#ifdef NUMTRAIL_LOOKUP_ONLINE
    upstream->check(
        [](const std::string& url) { return numtrail::attribution::UpstreamUrlProblem(url); });
#endif
    app.add_option("--cache", options.upstream.cache_file,
                   "the cache of online answers, an SQLite file shared with numtrail-service "
                   "(default $XDG_CACHE_HOME/Numtrail/prefixes.sqlite)")
        ->type_name("FILE")
        ->needs(upstream);
    app.add_option_function<int>(
           "--upstream-interval",
           [&options](int ms) { options.upstream.interval = std::chrono::milliseconds(ms); },
           "at most one online request in MS milliseconds (default 1000)")
        ->type_name("MS")
        ->check(WholeNumber(0, 3600000))
        ->needs(upstream);
    app.add_option_function<int>(
           "--upstream-timeout",
           [&options](int s) { options.upstream.timeout = std::chrono::seconds(s); },
           "an online request not answered in S seconds has failed (default 10)")
        ->type_name("S")
        ->check(WholeNumber(1, 3600))
        ->needs(upstream);
    app.add_option("--cache-days", options.upstream.cache_days,
                   "ask again for online answers older than N days (default 180)")
        ->type_name("N")
        ->check(WholeNumber(1, 36500))
        ->needs(upstream);
    app.add_flag("-q,--quiet", options.quiet, "no progress bar and no summary on standard error");
    app.add_option("FILE", options.files, "number lists; \"-\" is standard input")
        ->type_name("FILE");
    if (const auto status = numtrail::cli::Parse(app, argc, argv)) return *status;
    options.format = formats.at(format);
#ifdef NUMTRAIL_LOOKUP_ONLINE
    options.open_upstream = numtrail::bulk::OpenUpstream;
#else
    if (!options.upstream.url.empty()) return numtrail::bulk::RunOnlineProgram(argv);
#endif
    return numtrail::bulk::Lookup(std::move(options));
}
