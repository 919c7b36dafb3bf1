#include "bulk/online_program.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "support/scratch_dir.h"

namespace numtrail::bulk {
namespace {

namespace fs = std::filesystem;

// When the program cannot tell where it runs from, it says so and runs nothing; a program
// of the online helper's name in the current folder, which a run without a folder would
// find, is left alone (it would replace this test and fail it).
TEST(RunOnlineProgram, WithoutItsOwnPathItRunsNothing) {
    const test::ScratchDir dir;
    const fs::path trap = test::WriteFile(dir / "numtrail-lookup-online",
                                          "#!/bin/sh\necho 'ran from the current folder' >&2\n"
                                          "exit 99\n");
    fs::permissions(trap, fs::perms::owner_all);
    const fs::path before = fs::current_path();
    fs::current_path(dir.Path());

    char program[] = "numtrail-lookup";
    char* argv[] = {program, nullptr};
    ::testing::internal::CaptureStderr();
    const int status = RunOnlineProgram(argv, dir / "no-such-link");
    const std::string message = ::testing::internal::GetCapturedStderr();
    fs::current_path(before);

    EXPECT_EQ(status, 1);
    EXPECT_NE(message.find("no-such-link"), std::string::npos) << message;
}

}  // namespace
}  // namespace numtrail::bulk
