#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/notifier.h"

namespace numtrail::cli {

// Exit statuses of numtrail-crypt.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;  // the class reported a failure or showed a message
inline constexpr int kExitUsage = 2;

// A command's arguments after its name: "--name value" options and positional words.
struct Arguments {
    std::map<std::string, std::string> options;
    std::vector<std::string> positional;

    std::optional<std::string> Option(const std::string& name) const;
    // An integer option, or fallback when absent; throws UsageError when not a number.
    int IntOption(const std::string& name, int fallback) const;
};

struct UsageError {
    std::string message;
};

struct Command {
    std::string name;
    std::string usage;                         // shown by --help
    std::vector<std::string> value_options;    // options that take a value
    std::size_t positional_count;              // exact number of positional words
    std::function<int(const Arguments&)> run;  // returns an exit status
};

// Splits argv (after the command name) by the command's declared options.
Arguments ParseArguments(const Command& command, const std::vector<std::string>& words);

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
std::vector<Command> RijndaelCommands();
std::vector<Command> XorHashCommands();
std::vector<Command> Md5Commands();
std::vector<Command> Base64Commands();

}  // namespace numtrail::cli
