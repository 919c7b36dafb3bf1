#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

#include "numbers/workbook.h"

// The readers behind WorkbookReader::Open, one per container.
namespace numtrail {

std::unique_ptr<WorkbookReader> OpenXlsx(int fd, ListFileRefusal& refusal,
                                         const WorkbookLimits& limits);
std::unique_ptr<WorkbookReader> OpenXlsx(std::string_view bytes, ListFileRefusal& refusal,
                                         const WorkbookLimits& limits);
// .xls is read by a library that opens a path: the descriptor's own, or a memory file's. With
// `owned` the reader closes the descriptor when it goes.
std::unique_ptr<WorkbookReader> OpenXls(int fd, bool owned, ListFileRefusal& refusal,
                                        const WorkbookLimits& limits);

// The cells that the sheets of an .xls workbook make the library hold, all sheets together;
// nullopt when its container cannot be read or holds what would make the library read past its
// buffers.
std::optional<std::uint64_t> CheckedXlsCells(int fd);

}  // namespace numtrail
