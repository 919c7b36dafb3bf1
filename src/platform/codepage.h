#pragma once

#include <string>
#include <string_view>

namespace numtrail {

// Every text file, export and byte form of the cipher classes uses code page 936,
// whatever the locale of the machine. ICU's "windows-936-2000" table matches the
// Windows code page: byte 80 is the euro sign, and a character the code page cannot
// hold becomes '?'.

// UTF-16 text to code page 936 bytes.
std::string StringToAnsiBytes(std::u16string_view text);

// Code page 936 bytes to UTF-16 text. NUL bytes are kept; an invalid byte sequence
// becomes U+FFFD rather than being dropped.
std::u16string AnsiBytesToString(std::string_view bytes);

// The number of bytes a text takes in code page 936.
std::size_t AnsiByteLength(std::u16string_view text);

// UTF-8 (command lines, the service's answers) to UTF-16 and back; an invalid sequence
// becomes U+FFFD.
std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view text);

}  // namespace numtrail
