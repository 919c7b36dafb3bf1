#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "numbers/list_text.h"

namespace numtrail::bulk {

// One number list to read: a file, or standard input for "-". Its encoding is chosen as the
// import chooses it, from all of its bytes, yet it is never held in memory whole. A file is
// scanned first and read again from the start when the scan had to go further than the first
// piece. From a pipe, what is read ahead while the choice is still open stays in memory up to
// a few MiB and goes on to an unlinked temporary file after that; then the bytes read ahead
// are given first and the rest as it comes.
class ListInput {
  public:
    ~ListInput();
    ListInput(const ListInput&) = delete;
    ListInput& operator=(const ListInput&) = delete;

    // Opens the list; nullptr with `error` set when it cannot be read (missing, no rights, a
    // folder).
    static std::unique_ptr<ListInput> Open(const std::string& path, std::string& error);

    // The path, or "standard input".
    const std::string& Name() const { return name_; }
    // The size of a regular file, for the progress shown; nullopt for anything else.
    std::optional<std::uint64_t> FileSize() const { return file_size_; }

    // Reads as far as the choice needs. False with `error` set on a read failure.
    bool ChooseEncoding(std::string& error);
    ListEncodingChoice Encoding() const { return scan_.Choice(); }

    // The next piece of the list's bytes, in order from the start; an empty piece at the end.
    // The piece lives until the next call. False with `error` set on a read failure.
    bool Next(std::string_view& piece, std::string& error);

    // Bytes given so far.
    std::uint64_t Position() const { return position_; }

  private:
    ListInput(int fd, bool owned, std::string name, std::optional<std::uint64_t> file_size);

    // Fills buffer_ from `fd`; the bytes read, 0 at the end, -1 with `error` set on a failure.
    long ReadPiece(int fd, const std::string& what, std::string& error);
    bool Spool(std::string_view bytes, std::string& error);

    int fd_;
    bool owned_;
    std::string name_;
    std::optional<std::uint64_t> file_size_;
    ListEncodingScan scan_;
    std::unique_ptr<char[]> buffer_;
    std::string ahead_;  // bytes read ahead while choosing, given first
    bool ahead_given_ = false;
    int spool_ = -1;  // an unlinked temporary file with more bytes read ahead, given next
    bool at_end_ = false;
    std::uint64_t position_ = 0;
};

}  // namespace numtrail::bulk
