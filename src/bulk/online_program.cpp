#include "bulk/online_program.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <system_error>

#include "cli/command_line.h"

namespace numtrail::bulk {

int RunOnlineProgram(char** argv, const std::filesystem::path& self) {
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink(self, error);
    if (error || !program.is_absolute()) {
        std::cerr << "numtrail-lookup: --upstream needs numtrail-lookup-online, and where it is "
                     "cannot be told: "
                  << self.string() << ": "
                  << (error ? error.message() : "not an absolute path: " + program.string())
                  << '\n';
        return cli::kExitFailed;
    }
    const std::filesystem::path folder = program.parent_path();
    const std::filesystem::path places[] = {
        folder / "numtrail-lookup-online",
        folder / NUMTRAIL_LIBEXEC_FROM_BIN / "numtrail-lookup-online"};
    int cause = ENOENT;
    for (const std::filesystem::path& place : places) {
        ::execv(place.c_str(), argv);
        if (errno != ENOENT) cause = errno;
    }
    std::cerr << "numtrail-lookup: --upstream needs numtrail-lookup-online (looked in "
              << places[0].parent_path().string() << " and "
              << places[1].parent_path().lexically_normal().string()
              << "): " << std::strerror(cause) << '\n';
    return cli::kExitFailed;
}

}  // namespace numtrail::bulk
