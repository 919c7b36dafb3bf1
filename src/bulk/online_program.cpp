#include "bulk/online_program.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <system_error>

#include "cli/command_line.h"

namespace numtrail::bulk {

int RunOnlineProgram(char** argv) {
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    const std::filesystem::path folder = self.parent_path();
    const std::filesystem::path places[] = {
        folder / "numtrail-lookup-online",
        folder / NUMTRAIL_LIBEXEC_FROM_BIN / "numtrail-lookup-online"};
    int cause = ENOENT;
    for (const std::filesystem::path& program : places) {
        ::execv(program.c_str(), argv);
        if (errno != ENOENT) cause = errno;
    }
    std::cerr << "numtrail-lookup: --upstream needs numtrail-lookup-online (looked in "
              << places[0].parent_path().string() << " and "
              << places[1].parent_path().lexically_normal().string()
              << "): " << std::strerror(cause) << '\n';
    return cli::kExitFailed;
}

}  // namespace numtrail::bulk
