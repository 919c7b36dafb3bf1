#include "cli/command_line.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>

#include "product/product.h"

namespace numtrail::cli {

void AddCommonOptions(CLI::App& app) {
    app.set_version_flag("--version", app.get_name() + " " + product::kVersion,
                         "print the version and exit");
    app.set_help_flag("-h,--help", "print this help and exit");
    app.get_formatter()->column_width(28);
}

std::optional<int> Parse(CLI::App& app, int argc, char** argv) {
    try {
        app.parse(argc, argv);
        return std::nullopt;
    } catch (const CLI::ParseError& e) {
        if (e.get_exit_code() != static_cast<int>(CLI::ExitCodes::Success))
            return UsageError(app, e.what());
        app.exit(e, std::cout, std::cerr);
        return FlushStandardOutput(app.get_name()) ? kExitOk : kExitFailed;
    }
}

int UsageError(const CLI::App& app, std::string_view message) {
    std::cerr << app.get_name() << ": " << message << "\nRun with --help for more information.\n";
    return kExitUsage;
}

CLI::Validator WholeNumber(std::int64_t low, std::int64_t high) {
    return CLI::Validator(
        [low, high](std::string& text) -> std::string {
            std::int64_t value = 0;
            const char* end = text.data() + text.size();
            const auto [stop, error] = std::from_chars(text.data(), end, value);
            if (error == std::errc::result_out_of_range ||
                (stop == end && error == std::errc() && (value < low || value > high)))
                return text + " is not from " + std::to_string(low) + " to " + std::to_string(high);
            if (text.empty() || stop != end || error != std::errc())
                return "'" + text + "' is not a whole number";
            // CLI11 reads a leading 0 as octal; the digits go on without it.
            text = std::to_string(value);
            return {};
        },
        "");
}

bool FlushStandardOutput(std::string_view program) {
    std::cout.flush();
    if (std::fflush(stdout) == 0 && !std::ferror(stdout) && std::cout.good()) return true;
    const int cause = errno;
    std::cerr << program << ": cannot write standard output: " << std::strerror(cause) << '\n';
    return false;
}

}  // namespace numtrail::cli
