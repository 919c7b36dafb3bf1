#pragma once

#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "attribution/data_file.h"
#include "platform/atomic_file.h"

namespace numtrail::datatool {

// How a file argument is named in messages: "standard input" for "-".
std::string Shown(const std::string& argument);

// The bytes of a file argument, standard input for "-". Throws std::runtime_error naming it.
std::string ReadInput(const std::string& argument);

// A data file argument, read and checked as the service reads it at start. Throws
// attribution::DataFileError naming it and what is wrong.
attribution::DataFile ReadDataFile(const std::string& argument);

// Where an output argument says to write: standard output for "-", a device or pipe written
// into as the bytes come, otherwise a file that appears, or is replaced, whole once Finish
// succeeds and not at all otherwise. Every call throws std::runtime_error naming it when it
// fails.
class Output {
  public:
    explicit Output(const std::string& argument);
    ~Output();
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;

    void Write(std::string_view bytes);
    void Finish();

  private:
    std::unique_ptr<AtomicFileWriter> file_;  // null for a stream
    int fd_ = -1;
    std::string name_;
};

// The whole output in one call.
void WriteOutput(const std::string& argument, std::string_view bytes);

// Which record answers each prefix from kFirstPrefix on (kNoAnswer for none): the last entry
// of a prefix, as the service takes it.
inline constexpr std::uint32_t kNoAnswer = std::numeric_limits<std::uint32_t>::max();
std::vector<std::uint32_t> AnswerOfEachPrefix(const attribution::DataFile& file);

}  // namespace numtrail::datatool
