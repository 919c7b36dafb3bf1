// numtrail-data check and install: whether the service would take a data file, and putting it
// where the programs read it.
#include <filesystem>
#include <iostream>
#include <string>

#include "attribution/data_file.h"
#include "datatool/check.h"
#include "datatool/commands.h"
#include "datatool/files.h"
#include "platform/atomic_file.h"

namespace numtrail::datatool {
namespace {

namespace fs = std::filesystem;

std::string Summary(const std::string& name, const CheckResult& result) {
    const std::size_t errors = result.Errors();
    const std::size_t warnings = result.findings.size() - errors;
    std::string line = name + ": " + Counted(result.prefixes, "prefix", "prefixes") + ", " +
                       Counted(result.records, "record", "records") + ": ";
    if (result.findings.empty()) return line + "no findings";
    line += Counted(errors, "error", "errors");
    if (result.Refused()) line += " (the service would refuse the file at start)";
    return line + ", " + Counted(warnings, "warning", "warnings");
}

struct CheckArguments {
    std::string file;
};

int Check(const CheckArguments& args) {
    const CheckResult result = CheckDataFile(ReadInput(args.file), BuiltInPlaces());
    std::string out;
    for (const Finding& finding : result.findings)
        out += (finding.refused ? "error: " : "warning: ") + finding.text + '\n';
    out += Summary(Shown(args.file), result) + '\n';
    WriteOutput("-", out);
    return result.Refused() ? 1 : 0;
}

struct InstallArguments {
    std::string file;
};

int Install(const InstallArguments& args) {
    const std::string bytes = ReadInput(args.file);
    const CheckResult result = CheckDataFile(bytes, BuiltInPlaces());
    if (result.Refused()) {
        for (const Finding& finding : result.findings)
            if (finding.refused) std::cerr << "error: " << finding.text << '\n';
        std::cerr << "numtrail-data: " << Shown(args.file)
                  << " not installed: the service would refuse it at start\n";
        return 1;
    }
    const fs::path target = attribution::DefaultDataFilePath();
    if (target.empty())
        throw std::runtime_error("nowhere to install: neither $XDG_DATA_HOME nor $HOME is set");
    std::error_code error;
    fs::create_directories(target.parent_path(), error);
    if (error)
        throw std::runtime_error("cannot create " + target.parent_path().string() + ": " +
                                 error.message());

    const fs::path previous = target.string() + ".previous";
    if (fs::exists(target, error)) {
        const std::string installed = ReadInput(target.string());
        if (installed == bytes) {
            std::cerr << target.string() << " already holds " << Shown(args.file) << '\n';
            return 0;
        }
        // The file in use is kept whole before it is replaced, so that going back is one
        // rename; should the replacing fail, both names hold it.
        const AtomicWriteResult kept = WriteFileAtomically(previous, installed);
        if (!kept.ok) throw std::runtime_error(kept.error);
    }
    const AtomicWriteResult written = WriteFileAtomically(target, bytes);
    if (!written.ok) throw std::runtime_error(written.error);

    std::cerr << "installed " << Shown(args.file) << " as " << target.string() << " ("
              << Counted(result.prefixes, "prefix", "prefixes");
    if (result.findings.size() > 0)
        std::cerr << ", " << Counted(result.findings.size(), "warning", "warnings")
                  << ": numtrail-data check lists them";
    std::cerr << ")";
    if (fs::exists(previous, error)) std::cerr << "; the one before is " << previous.string();
    std::cerr << ".\nnumtrail, numtrail-service and numtrail-lookup read it when they start.\n";
    return 0;
}

}  // namespace

void AddCheckCommands(CLI::App& app, std::vector<Command>& commands) {
    auto check_args = std::make_shared<CheckArguments>();
    CLI::App* check = app.add_subcommand("check", "find what is wrong with a data file");
    check->footer(Wrapped(
        "One line per finding on standard output, then a summary. Errors make the service "
        "refuse the file at start: a damaged structure, records that are not UTF-8, fields "
        "over 256 bytes. Warnings: card-type bytes that name no carrier or another than the "
        "carriers' segments, prefixes outside the allocated segments or given twice, "
        "characters answers leave out, places not written as answers write them, cities the "
        "city table does not know, area codes and postcodes that differ from the city "
        "table's. Exit status 1 when there is an error, else 0."));
    check->add_option("FILE", check_args->file, "the data file (\"-\": standard input)")
        ->required();
    commands.push_back({check, [check_args] { return Check(*check_args); }});

    auto install_args = std::make_shared<InstallArguments>();
    CLI::App* install =
        app.add_subcommand("install", "check a data file and make it the one the programs read");
    install->footer(Wrapped(
        "Puts FILE at $XDG_DATA_HOME/Numtrail/phone.dat (~/.local/share/Numtrail/phone.dat), "
        "where numtrail, numtrail-service and numtrail-lookup look when no --data is given, "
        "replacing it whole or not at all; the file it replaces is kept as phone.dat.previous. "
        "A file the service would refuse is not installed (exit 1); warnings are counted, and "
        "check lists them."));
    install->add_option("FILE", install_args->file, "the data file (\"-\": standard input)")
        ->required();
    commands.push_back({install, [install_args] { return Install(*install_args); }});
}

}  // namespace numtrail::datatool
