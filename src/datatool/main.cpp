// numtrail-data: makes, merges, checks and compares the prefix data files the service reads.
#include <algorithm>
#include <iostream>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "datatool/commands.h"

using numtrail::datatool::Command;

namespace {

constexpr char kFooter[] =
    "From a prefix table to answers: numtrail-data build table.csv -o my.dat, numtrail-data "
    "check my.dat, numtrail-data install my.dat; numtrail, numtrail-service and "
    "numtrail-lookup read it when they next start. Files may be \"-\" for standard input or "
    "output. Each COMMAND --help tells more.\n"
    "Exit status: 0 done, 1 an input, an output or the work failed, 2 bad usage.";

int Run(const Command& command) {
    try {
        return command.run();
    } catch (const numtrail::datatool::BadUsage& e) {
        return numtrail::cli::UsageError(*command.app, e.message);
    } catch (const std::exception& e) {
        std::cerr << "numtrail-data " << command.app->get_name() << ": " << e.what() << '\n';
    }
    return numtrail::cli::kExitFailed;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app("Makes, merges, checks and compares 7-digit prefix data files.", "numtrail-data");
    numtrail::cli::AddCommonOptions(app);
    app.footer(numtrail::datatool::Wrapped(kFooter));
    app.require_subcommand(1);
    std::vector<Command> commands;
    numtrail::datatool::AddBuildCommand(app, commands);
    numtrail::datatool::AddCombineCommands(app, commands);
    numtrail::datatool::AddReadCommands(app, commands);
    numtrail::datatool::AddCheckCommands(app, commands);

    // CLI11 would only say that a command is required; name the word it did not know.
    if (argc > 1 && argv[1][0] != '-' &&
        std::none_of(commands.begin(), commands.end(),
                     [&](const Command& c) { return c.app->get_name() == argv[1]; }))
        return numtrail::cli::UsageError(app, std::string("unknown command '") + argv[1] + "'");
    if (const auto status = numtrail::cli::Parse(app, argc, argv)) return *status;
    int status = numtrail::cli::kExitFailed;
    for (const Command& command : commands)
        if (command.app->parsed()) status = Run(command);
    if (!numtrail::cli::FlushStandardOutput(app.get_name())) return numtrail::cli::kExitFailed;
    return status;
}
