#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "numbers/list_file.h"
#include "numbers/list_text.h"
#include "numbers/vcard.h"
#include "numbers/workbook.h"

namespace numtrail::bulk {

// One number list to read: a file, or standard input for "-", whatever it holds (see
// SniffListFile): text, a workbook or a contacts file; anything else is refused. It is never held
// in memory whole, except for a workbook on a pipe (below).
//
// Text has its encoding chosen as the import chooses it, from all of its bytes: a file is scanned
// first and read again from the start when the scan had to go further than the first piece; a
// pipe, which cannot be read twice, has it chosen as it is read (ListLineCutter::
// ChoosingAsItReads). A workbook and a contacts file are given as the UTF-8 text of their lines.
// A workbook on a pipe is copied into a file in memory first (at most kMaxPipedWorkbook bytes):
// its container can only be read by seeking, and the list is written nowhere on disk.
class ListInput {
  public:
    ~ListInput();
    ListInput(const ListInput&) = delete;
    ListInput& operator=(const ListInput&) = delete;

    static constexpr std::uint64_t kMaxPipedWorkbook = 1ull << 30;

    // Opens the list; nullptr with `error` set when it cannot be read (missing, no rights, a
    // folder) or, for a file, when its first bytes show that it holds no list.
    static std::unique_ptr<ListInput> Open(const std::string& path, std::string& error);

    // The path, or "standard input".
    const std::string& Name() const { return name_; }
    // The size of a regular file, for the progress shown; nullopt for anything else.
    std::optional<std::uint64_t> FileSize() const { return file_size_; }

    // Reads as far as telling what the list holds and how to read it needs. False with `error`
    // set on a read failure, or when the list is refused (the message names it).
    bool Start(std::string& error);
    // A cutter for the pieces that Next() gives.
    ListLineCutter Cutter() const;

    // The next piece of the list's text, in order from the start; an empty piece at the end.
    // The piece lives until the next call. False with `error` set on a read failure, or on
    // damage found in a workbook on the way.
    bool Next(std::string_view& piece, std::string& error);

    // Bytes of the list read so far.
    std::uint64_t Position() const;

  private:
    ListInput(int fd, bool owned, std::string name, std::optional<std::uint64_t> file_size);

    // Fills buffer_ from `fd`; the bytes read, 0 at the end, -1 with `error` set on a failure.
    long ReadPiece(int fd, const std::string& what, std::string& error);
    // The next piece of the list's own bytes: those read ahead first, then the rest.
    bool NextRaw(std::string_view& piece, std::string& error);
    bool ScanText(std::string& error);
    bool OpenWorkbook(std::string& error);

    int fd_;
    bool owned_;
    std::string name_;
    std::optional<std::uint64_t> file_size_;
    ListFileKind kind_ = ListFileKind::Text;
    ListEncodingScan scan_;
    std::unique_ptr<char[]> buffer_;
    std::string ahead_;  // bytes read ahead while telling the kind, given first
    bool ahead_given_ = false;
    bool at_end_ = false;
    std::uint64_t position_ = 0;
    // A contacts file's lines.
    std::optional<VcardReader> contacts_;
    std::string contacts_text_;
    bool contacts_done_ = false;
    // A workbook, from the file itself or from a copy of a pipe in memory.
    std::unique_ptr<WorkbookReader> workbook_;
    int memory_file_ = -1;
    std::uint64_t workbook_size_ = 0;
};

}  // namespace numtrail::bulk
