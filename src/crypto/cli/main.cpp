// numtrail-crypt: the cipher and digest classes on the command line.
#include <iostream>
#include <string>
#include <vector>

#include "crypto/cli/cli.h"
#include "crypto/crypto_error.h"

using namespace numtrail::cli;

namespace {

std::vector<Command> AllCommands() {
    using Group = std::vector<Command> (*)();
    const std::vector<Group> groups = {
        // one group per cipher or digest class
        RijndaelCommands,
        XorHashCommands,
        Md5Commands,
        Base64Commands,
    };
    std::vector<Command> all;
    for (const Group group : groups) {
        auto commands = group();
        all.insert(all.end(), commands.begin(), commands.end());
    }
    return all;
}

void PrintHelp(const std::vector<Command>& commands) {
    std::cout << "usage: numtrail-crypt COMMAND [OPTIONS] ARGUMENTS\n\n"
                 "Text arguments and printed text are UTF-8. Files: input first, output second.\n"
                 "Exit status: 0 success, 1 failure reported by the class, 2 bad usage.\n\n"
                 "Commands:\n";
    for (const auto& command : commands) std::cout << "  " << command.usage << '\n';
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<Command> commands = AllCommands();
    if (argc < 2) {
        PrintHelp(commands);
        return kExitUsage;
    }
    const std::string name = argv[1];
    if (name == "--help" || name == "-h" || name == "help") {
        PrintHelp(commands);
        return kExitOk;
    }
    for (const auto& command : commands) {
        if (command.name != name) continue;
        try {
            const Arguments args =
                ParseArguments(command, std::vector<std::string>(argv + 2, argv + argc));
            return command.run(args);
        } catch (const UsageError& e) {
            std::cerr << e.message << '\n';
            return kExitUsage;
        } catch (const numtrail::CryptoError& e) {
            std::cerr << "error " << e.Number() << ": " << e.Description() << '\n';
            return kExitFailed;
        } catch (const std::exception& e) {
            std::cerr << e.what() << '\n';
            return kExitFailed;
        }
    }
    std::cerr << "unknown command '" << name << "'; see numtrail-crypt --help\n";
    return kExitUsage;
}
