#pragma once

namespace numtrail::bulk {

// Hands the whole command line over to numtrail-lookup-online, found beside this program
// (a build tree) or in its libexec folder (installed). Returns only when it cannot be run:
// the exit status, after a message.
int RunOnlineProgram(char** argv);

}  // namespace numtrail::bulk
