#pragma once

#include <filesystem>

namespace numtrail::bulk {

// Hands the whole command line over to numtrail-lookup-online, found beside this program
// (a build tree) or in its libexec folder (installed); `self` is the link to the running
// program. Returns only when it cannot be run: the exit status, after a message. When the
// link cannot be read, nothing is run: a name without its folder would be looked up in the
// current folder, where anyone may have put a program of that name.
int RunOnlineProgram(char** argv, const std::filesystem::path& self = "/proc/self/exe");

}  // namespace numtrail::bulk
