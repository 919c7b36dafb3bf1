#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "numbers/list_text.h"

namespace numtrail {

// Reads a contacts file (vCard 2.1, 3.0 or 4.0, as phones and address books export them) as
// it arrives in pieces, into the text of a number list: the value of each TEL property, in file
// order, as a line of UTF-8 ended by LF. Folded lines are unfolded, quoted-printable values
// decoded (soft line breaks too) and read in the CHARSET they name; a value without one is
// UTF-8 when it is valid UTF-8 and code page 936 otherwise, as old phones wrote. Escapes are
// undone, a "tel:" URI gives its number, and tabs and line ends in a value become blanks. A
// file may be UTF-8 (with or without a byte order mark) or UTF-16 with one. A value longer than
// kMaxListLine is given cut just past that length, for the line cutter to mark; memory stays
// bounded whatever the file holds (a photo property is skipped past its first bytes).
class VcardReader {
  public:
    // Appends the text of the lines that the piece completes.
    void Add(std::string_view piece, std::string& text);
    // Appends the text of the last line.
    void Finish(std::string& text);

  private:
    void Cut(std::string_view bytes, std::string& text);
    // A line of the file as it stands, without its line end.
    void Physical(std::string_view line, std::string& text);
    // The property that pending_ holds is complete.
    void Property(std::string& text);

    std::string start_;  // the first bytes, until they show whether a byte order mark starts
    bool started_ = false;
    std::optional<Utf16Decoder> utf16_;
    std::string carry_;  // the start of a line that the last piece ended inside
    bool after_cr_ = false;
    std::string pending_;  // the property being unfolded
    bool have_pending_ = false;
    bool pending_quoted_printable_ = false;
};

}  // namespace numtrail
