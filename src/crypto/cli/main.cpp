// numtrail-crypt: the cipher and digest classes on the command line.
#include <algorithm>
#include <iostream>
#include <string>
#include <vector>

#include "crypto/cli/cli.h"
#include "crypto/crypto_error.h"

using namespace numtrail::cli;

namespace {

constexpr char kFooter[] =
    "Text arguments and printed text are UTF-8. Files: input first, output second; \"-\" is "
    "standard input or output. Each COMMAND --help tells more.\n"
    "Exit status: 0 success, 1 failure (reported by the class, or an input or output), 2 bad "
    "usage.";

int Run(const Command& command) {
    try {
        return command.run();
    } catch (const BadUsage& e) {
        return UsageError(*command.app, e.message);
    } catch (const numtrail::CryptoError& e) {
        std::cerr << "error " << e.Number() << ": " << e.Description() << '\n';
    } catch (const std::exception& e) {
        std::cerr << command.app->get_name() << ": " << e.what() << '\n';
    }
    return kExitFailed;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app("The cipher and digest classes on the command line.", "numtrail-crypt");
    AddCommonOptions(app);
    app.footer(kFooter);
    app.require_subcommand(1);
    std::vector<Command> commands;
    // One group per cipher or digest class.
    AddRijndaelCommands(app, commands);
    AddXorHashCommands(app, commands);
    AddMd5Commands(app, commands);
    AddBase64Commands(app, commands);

    // CLI11 would only say that a command is required; name the word it did not know.
    if (argc > 1 && argv[1][0] != '-' &&
        std::none_of(commands.begin(), commands.end(),
                     [&](const Command& c) { return c.app->get_name() == argv[1]; }))
        return UsageError(app, std::string("unknown command '") + argv[1] + "'");
    if (const auto status = Parse(app, argc, argv)) return *status;
    int status = kExitFailed;
    for (const Command& command : commands)
        if (command.app->parsed()) status = Run(command);
    if (!FlushStandardOutput(app.get_name())) return kExitFailed;
    return status;
}
