#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/run_program.h"

namespace numtrail::test {

// A command line and what the program does with it.
struct ExpectedRun {
    std::vector<std::string> arguments;
    int status;
    const char* out;  // in standard output, or nullptr for nothing there
    const char* err;  // in standard error
};

// Runs the program with each command line and checks the exit status and both streams.
inline void ExpectRuns(const std::string& program, const std::vector<ExpectedRun>& cases) {
    for (const ExpectedRun& c : cases) {
        const ProgramRun done = RunProgram(program, c.arguments);
        const std::string what = ::testing::PrintToString(c.arguments);
        EXPECT_EQ(done.status, c.status) << what << done.err;
        if (c.out == nullptr)
            EXPECT_EQ(done.out, "") << what;
        else
            EXPECT_NE(done.out.find(c.out), std::string::npos) << what << done.out;
        EXPECT_NE(done.err.find(c.err), std::string::npos) << what << done.err;
    }
}

}  // namespace numtrail::test
