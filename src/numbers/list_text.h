#pragma once

#include <cstddef>
#include <functional>
#include <string_view>

namespace numtrail {

enum class ListEncoding { Utf8, Utf16Le, Utf16Be, CodePage936 };

struct ListEncodingChoice {
    ListEncoding encoding = ListEncoding::CodePage936;
    std::size_t bom_size = 0;  // the byte order mark at the start, which is no text
};

// The encoding of a number list file, from its bytes. A byte order mark decides (UTF-8,
// UTF-16 LE or BE). Without one, text that is valid UTF-8 and holds at least one multi-byte
// sequence is UTF-8: phones and current spreadsheets write that. Anything else is code page
// 936, as lists were always read; plain ASCII reads the same either way.
ListEncodingChoice ChooseListEncoding(std::string_view bytes);

// Calls `line` with each line of a number list file, as UTF-8 text without its line end,
// in file order, after choosing the encoding as above. A line ends at CR LF, at a lone CR or
// at a lone LF; a last line without an end counts too; empty lines are skipped. Code page
// 936 is decoded line by line, so a character cut short by a line end spoils only its own
// line; bytes that cannot be decoded become a replacement character, never lost silently.
// The text a call receives lives only until the call returns.
void ForEachListLine(std::string_view bytes, const std::function<void(std::string_view)>& line);

}  // namespace numtrail
