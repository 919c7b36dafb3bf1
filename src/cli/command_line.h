#pragma once

#include <CLI/CLI.hpp>
#include <cstdint>
#include <optional>
#include <string_view>

namespace numtrail::cli {

// Exit statuses of every command-line program.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;  // an input, an output or the work itself failed
inline constexpr int kExitUsage = 2;

// What every program's command line has beside its own options: --help (also on each
// subcommand), and --version, which prints the program's name and the product's version.
void AddCommonOptions(CLI::App& app);

// Parses the command line. nullopt when the program goes on; otherwise its exit status:
// 0 after --help or --version (printed on standard output), kExitUsage after a usage error
// (the message on standard error), kExitFailed when standard output cannot take the text.
std::optional<int> Parse(CLI::App& app, int argc, char** argv);

// A usage error found once the command line is parsed, reported as Parse reports its own.
int UsageError(const CLI::App& app, std::string_view message);

// An option's value must be a whole number from low to high written in decimal digits, with a
// minus sign when negative: "256x", "0x100" and " 8" are refused rather than read in part or
// in another base.
CLI::Validator WholeNumber(std::int64_t low, std::int64_t high);

// Flushes standard output; false, with a message on standard error, when it cannot be written
// (a full disk, a closed pipe).
bool FlushStandardOutput(std::string_view program);

}  // namespace numtrail::cli
