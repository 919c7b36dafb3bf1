#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace numtrail::tables {

// The blanks that fill a text `width` bytes wide in code page 936 up to `fixed_length` bytes:
// none for an empty text, for one already as wide or wider, and for a length of 0 or less.
std::size_t FixedLengthFill(std::size_t width, std::int32_t fixed_length);

// Appends one line of the export file to `out`. The cells are code page 936 bytes in column
// order; three blanks stand between neighbours and CR LF ends the line. The first cell (the
// number) loses its leading and trailing blanks and is filled to 8 bytes; the others are
// written as they are, whole. Shared by the window's export and numtrail-lookup.
void AppendExportLine(std::string& out, std::span<const std::string_view> cells);

}  // namespace numtrail::tables
