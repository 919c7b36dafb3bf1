#pragma once

#include <QString>

#include "attribution/record.h"

namespace numtrail {

// The text that one result puts on the clipboard: six labelled lines, a line holding one
// blank, and the credit line in 【】; CR LF after each of the first seven lines and nothing
// after the last. Values go in as they are, so an empty field leaves its label alone.
QString ClipboardBlock(const attribution::Record& result);

}  // namespace numtrail
