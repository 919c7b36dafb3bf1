#pragma once

#include <CLI/CLI.hpp>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "datatool/places.h"

namespace numtrail::datatool {

// A usage error that shows only once the command runs: exit 2.
struct BadUsage {
    std::string message;
};

// A subcommand and what it does once the command line is parsed; run answers the exit
// status and may throw BadUsage or a std::exception (exit 1, its what() on standard error).
struct Command {
    CLI::App* app;
    std::function<int()> run;
};

// The command groups, each in its own source file.
void AddBuildCommand(CLI::App& app, std::vector<Command>& commands);
void AddCombineCommands(CLI::App& app, std::vector<Command>& commands);  // merge, from-cache
void AddReadCommands(CLI::App& app, std::vector<Command>& commands);     // dump, show, diff
void AddCheckCommands(CLI::App& app, std::vector<Command>& commands);    // check, install

// What the commands share.

// The place names of the city table built into the program.
const PlaceNames& BuiltInPlaces();

// --data-version for the commands that write a data file.
void AddDataVersionOption(CLI::App& command, std::string& version);
// The version to write: `given` when not empty, else `fallback` when it is a version a file
// can hold (one to four printable ASCII characters), else this month's, "2406".
std::string ChooseDataVersion(const std::string& given, const std::string& fallback);

// A help text cut into lines of at most 90 columns at blanks (a CJK character takes two);
// line ends in it stay.
std::string Wrapped(std::string_view text);

// "1 prefix", "12 prefixes".
std::string Counted(std::size_t n, std::string_view one, std::string_view many);

}  // namespace numtrail::datatool
