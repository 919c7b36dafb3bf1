#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace numtrail::bulk {

// A file written whole or not at all: the bytes go to a temporary file beside the target,
// which replaces the target only in Commit(), once everything has been written and flushed
// to the disk. Until then the target keeps what it held (it may even be an input being
// read); a writer dropped without Commit() removes its temporary file. A new file gets 0666
// less the umask, a replaced one keeps its permissions.
class AtomicFileWriter {
  public:
    explicit AtomicFileWriter(const std::filesystem::path& target);
    ~AtomicFileWriter();
    AtomicFileWriter(const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

    // False once anything has failed; Error() then says what, to which file and why.
    bool Ok() const { return error_.empty(); }
    const std::string& Error() const { return error_; }

    bool Write(std::string_view bytes);
    bool Commit();

  private:
    bool Fail(const std::string& what, int cause);

    std::filesystem::path target_;  // where a symbolic link points
    std::filesystem::path shown_;   // as given, for messages
    std::filesystem::path temp_;
    int fd_ = -1;
    bool committed_ = false;
    std::string error_;
};

}  // namespace numtrail::bulk
