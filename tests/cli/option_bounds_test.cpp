#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "support/run_program.h"

namespace numtrail {
namespace {

// A numeric option of a command-line program and the range it takes.
struct NumericOption {
    const char* program;
    std::vector<std::string> before;  // the command and what the option needs beside it
    const char* option;
    std::int64_t low;
    std::int64_t high;
};

// Every numeric option of the command-line programs takes both ends of its range and refuses
// the numbers just beyond them. --help after the option makes an accepted line end in the
// help text (the value is checked first) rather than in a run.
TEST(NumericOptions, TakeBothEndsOfTheirRangeAndNothingBeyond) {
    const std::vector<std::string> upstream = {"--upstream", "http://127.0.0.1:9/query"};
    const std::vector<std::string> lookup_upstream = {"--upstream", "http://127.0.0.1:9/query",
                                                      "-"};
    const NumericOption options[] = {
        {NUMTRAIL_SERVICE_PROGRAM, {}, "--port", 0, 65535},
        {NUMTRAIL_SERVICE_PROGRAM, {}, "--limit", 0, 1000000000},
        {NUMTRAIL_SERVICE_PROGRAM, upstream, "--upstream-interval", 0, 3600000},
        {NUMTRAIL_SERVICE_PROGRAM, upstream, "--upstream-timeout", 1, 3600},
        {NUMTRAIL_SERVICE_PROGRAM, upstream, "--cache-days", 1, 36500},
        {NUMTRAIL_LOOKUP_PROGRAM, lookup_upstream, "--upstream-interval", 0, 3600000},
        {NUMTRAIL_LOOKUP_PROGRAM, lookup_upstream, "--upstream-timeout", 1, 3600},
        {NUMTRAIL_LOOKUP_PROGRAM, lookup_upstream, "--cache-days", 1, 36500},
        {NUMTRAIL_LOOKUP_ONLINE_PROGRAM, lookup_upstream, "--upstream-interval", 0, 3600000},
        {NUMTRAIL_LOOKUP_ONLINE_PROGRAM, lookup_upstream, "--upstream-timeout", 1, 3600},
        {NUMTRAIL_LOOKUP_ONLINE_PROGRAM, lookup_upstream, "--cache-days", 1, 36500},
        {NUMTRAIL_CRYPT_PROGRAM,
         {"aes-encrypt-file", "--password=pw", "a", "b"},
         "--key-bits",
         INT32_MIN,
         INT32_MAX},
        {NUMTRAIL_CRYPT_PROGRAM,
         {"aes-encrypt-text", "--password=pw", "t"},
         "--block-bits",
         INT32_MIN,
         INT32_MAX},
        {NUMTRAIL_CRYPT_PROGRAM,
         {"xor-encrypt-text", "--password=pw", "t"},
         "--key-size",
         -32768,
         32767},
        {NUMTRAIL_CRYPT_PROGRAM,
         {"xor-decrypt-file", "--password=pw", "a", "b"},
         "--key-size",
         -32768,
         32767},
        {NUMTRAIL_CRYPT_PROGRAM, {"base64-encode-file", "a", "b"}, "--wrap", 0, INT32_MAX},
    };
    for (const NumericOption& o : options) {
        for (const std::int64_t value : {o.low - 1, o.low, o.high, o.high + 1}) {
            const bool in_range = value >= o.low && value <= o.high;
            std::vector<std::string> words = o.before;
            words.push_back(std::string(o.option) + "=" + std::to_string(value));
            words.push_back("--help");
            const test::ProgramRun run = test::RunProgram(o.program, words);
            const std::string what = std::string(o.program) + " " + o.option + "=" +
                                     std::to_string(value) + "\n" + run.err;
            EXPECT_EQ(run.status, in_range ? 0 : 2) << what;
            if (!in_range) {
                EXPECT_NE(run.err.find(std::to_string(value)), std::string::npos) << what;
            }
        }
    }
}

}  // namespace
}  // namespace numtrail
