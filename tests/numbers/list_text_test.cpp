#include "numbers/list_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace numtrail {
namespace {

std::vector<std::string> Lines(std::string_view bytes) {
    std::vector<std::string> lines;
    ForEachListLine(bytes, [&lines](std::string_view line) { lines.emplace_back(line); });
    return lines;
}

// UTF-16 code units as the bytes of a file, byte order mark first.
std::string Utf16File(std::u16string_view text, bool big_endian) {
    std::string bytes = big_endian ? "\xFE\xFF" : "\xFF\xFE";
    for (const char16_t unit : text) {
        const char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
        bytes += big_endian ? std::string{high, low} : std::string{low, high};
    }
    return bytes;
}

TEST(ListTextTest, EncodingChoice) {
    struct Case {
        std::string bytes;
        ListEncoding encoding;
        std::size_t bom_size;
    };
    const Case cases[] = {
        {"\xEF\xBB\xBF"
         "13812345678",
         ListEncoding::Utf8, 3},
        // A byte order mark decides even over bytes that are no UTF-8.
        {"\xEF\xBB\xBF\xD6\xD0", ListEncoding::Utf8, 3},
        {"\xFF\xFE", ListEncoding::Utf16Le, 2},
        {"\xFE\xFF", ListEncoding::Utf16Be, 2},
        {"\xE6\x89\x8B\xE6\x9C\xBA\r\n13812345678", ListEncoding::Utf8, 0},  // 手机
        {"13812345678\r\n\xF0\x9F\x98\x80", ListEncoding::Utf8, 0},          // an emoji
        {"13812345678\r\n13912345678", ListEncoding::CodePage936, 0},        // plain ASCII
        {"\xD6\xD0\xCE\xC4 13812345678", ListEncoding::CodePage936, 0},      // 中文 in GBK
        {"\xC0\xAF", ListEncoding::CodePage936, 0},                          // overlong "/"
        {"\xED\xA0\x80", ListEncoding::CodePage936, 0},                      // a surrogate
        {"\xF4\x90\x80\x80", ListEncoding::CodePage936, 0},                  // past U+10FFFF
        {"\xE6\x89\x8B\xE6\x9C", ListEncoding::CodePage936, 0},              // cut short
        {"", ListEncoding::CodePage936, 0},
    };
    for (const Case& c : cases) {
        const ListEncodingChoice choice = ChooseListEncoding(c.bytes);
        EXPECT_EQ(choice.encoding, c.encoding) << testing::PrintToString(c.bytes);
        EXPECT_EQ(choice.bom_size, c.bom_size) << testing::PrintToString(c.bytes);
    }
}

TEST(ListTextTest, EveryEncodingGivesTheSameUtf8Lines) {
    const std::vector<std::string> expected = {"中文", "13812345678", "备注 139"};
    const std::u16string text = u"中文\r\n13812345678\n\r\n备注 139";
    EXPECT_EQ(Lines("\xEF\xBB\xBF"
                    "中文\r\n13812345678\n\r\n备注 139"),
              expected);
    EXPECT_EQ(Lines("中文\r\n13812345678\n\r\n备注 139"), expected);
    EXPECT_EQ(Lines(Utf16File(text, false)), expected);
    EXPECT_EQ(Lines(Utf16File(text, true)), expected);
    EXPECT_EQ(Lines("\xD6\xD0\xCE\xC4\r\n13812345678\n\r\n\xB1\xB8\xD7\xA2 139"), expected);
}

TEST(ListTextTest, Utf16FileCutShortEndsInAReplacementCharacter) {
    const std::vector<std::string> utf16 = Lines(Utf16File(u"13812345678\r\n1", false) + "\x32");
    EXPECT_EQ(utf16, (std::vector<std::string>{"13812345678", "1\uFFFD"}));
}

}  // namespace
}  // namespace numtrail
