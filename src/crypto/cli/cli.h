#pragma once

#include <CLI/CLI.hpp>
#include <functional>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "platform/notifier.h"

namespace numtrail::cli {

// A usage error that shows only once the command runs (no password anywhere, say): exit 2.
struct BadUsage {
    std::string message;
};

// A subcommand and what it does once its command line is parsed; run answers the exit status.
// A failure may also be thrown: BadUsage, CryptoError or another std::exception (exit 1).
struct Command {
    CLI::App* app;
    std::function<int()> run;
};

// A message a class would show goes to standard error, and the command then exits 1.
class StderrNotifier final : public Notifier {
  public:
    void Notify(std::u16string_view text, NoticeStyle style) override;
    bool Shown() const { return shown_; }

  private:
    bool shown_ = false;
};

// Prints UTF-16 text as one UTF-8 line on standard output.
void PrintLine(std::u16string_view text);

// The command groups, one per class, each in its own source file.
void AddRijndaelCommands(CLI::App& app, std::vector<Command>& commands);
void AddXorHashCommands(CLI::App& app, std::vector<Command>& commands);
void AddMd5Commands(CLI::App& app, std::vector<Command>& commands);
void AddBase64Commands(CLI::App& app, std::vector<Command>& commands);

}  // namespace numtrail::cli
