#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/atomic_file.h"

namespace numtrail::bulk {

// Where the rows go: standard output for "-", a device or pipe written as a stream (/dev/stdout,
// a named pipe), otherwise a file written atomically (the file appears, or is replaced, only
// when Finish() succeeds).
class Output {
  public:
    // nullptr with `error` set when the file cannot be created.
    static std::unique_ptr<Output> Open(const std::string& path, std::string& error);

    ~Output();
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;

    bool Write(std::string_view bytes);
    bool Finish();
    // What failed, naming the file or standard output.
    const std::string& Error() const { return error_; }

  private:
    explicit Output(std::unique_ptr<AtomicFileWriter> file) : file_(std::move(file)) {}
    Output(int fd, std::string name) : fd_(fd), name_(std::move(name)) {}

    std::unique_ptr<AtomicFileWriter> file_;  // null for a stream
    int fd_ = -1;                             // the stream
    std::string name_;                        // the stream, for messages
    std::string error_;
};

}  // namespace numtrail::bulk
