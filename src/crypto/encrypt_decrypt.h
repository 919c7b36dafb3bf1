#pragma once

#include <string>
#include <string_view>

// The hexadecimal text form of the XOR-hash cipher: every UTF-16 code unit becomes its low
// byte and then its high byte, each as two upper-case hexadecimal digits and a space.
namespace numtrail::MEncryptDecrypt {

// u"A\u4E2D" becomes u"41 00 2D 4E ". Never fails; an empty text gives an empty text.
std::u16string StringToHex(std::u16string_view text);

// Reads four digits per code unit after removing every U+0020 space (and nothing else, so
// a line break shifts the grouping). A pair of digits is read up to its first character
// that is not a hexadecimal digit; a pair cut short by the end counts its one digit, and a
// pair beyond the end counts 0.
std::u16string HexToString(std::u16string_view hexText);

}  // namespace numtrail::MEncryptDecrypt
