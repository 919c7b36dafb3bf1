// numtrail-lookup: attributes every line of number lists, as fast as the lines can be read.
#include <CLI/CLI.hpp>
#include <iostream>
#include <map>
#include <string>
#include <string_view>
#include <utility>

#include "bulk/lookup.h"
#include "product/product.h"

namespace {

using numtrail::bulk::Format;

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

}  // namespace

int main(int argc, char** argv) {
    numtrail::bulk::LookupOptions options;
    CLI::App app(
        "Attributes every line of number lists: province, city, area code, postcode "
        "and card type of each mobile number, one row per line.",
        "numtrail-lookup");
    app.footer(std::string(kFooter));
    app.set_version_flag("--version",
                         std::string("numtrail-lookup ") + numtrail::product::kVersion);
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
        return numtrail::bulk::kExitUsage;
    }
    options.format = formats.at(format);
    return numtrail::bulk::Lookup(std::move(options));
}
