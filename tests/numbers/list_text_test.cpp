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

TEST(ListTextTest, BytesThatAreNoUtf8BehindAByteOrderMarkBecomeReplacementCharacters) {
    EXPECT_EQ(Lines("\xEF\xBB\xBF张三\r\n\xD5\xC5 13812345678\r\n"),
              (std::vector<std::string>{"张三", "\uFFFD\uFFFD 13812345678"}));
}

TEST(ListTextTest, Utf16FileCutShortEndsInAReplacementCharacter) {
    const std::vector<std::string> utf16 = Lines(Utf16File(u"13812345678\r\n1", false) + "\x32");
    EXPECT_EQ(utf16, (std::vector<std::string>{"13812345678", "1\uFFFD"}));
}

enum class Choice { Whole, AsItReads };

// Every line, empty ones included, as the cutter gives them when the text comes in `pieces`
// of the given size (0: whole), with the encoding chosen from the whole text or as it is read.
// A line given cut ends in "<cut>".
std::vector<std::string> CutLines(std::string_view bytes, std::size_t piece_size,
                                  Choice choice = Choice::Whole) {
    ListLineCutter cutter = choice == Choice::Whole ? ListLineCutter(ChooseListEncoding(bytes))
                                                    : ListLineCutter::ChoosingAsItReads();
    std::vector<std::string> lines;
    const auto keep = [&lines, &cutter](std::string_view line) {
        lines.emplace_back(line);
        if (cutter.LineCut()) lines.back() += "<cut>";
    };
    if (piece_size == 0) piece_size = bytes.size() + 1;
    for (std::size_t at = 0; at < bytes.size(); at += piece_size)
        cutter.Add(bytes.substr(at, piece_size), keep);
    cutter.Finish(keep);
    return lines;
}

TEST(ListTextTest, CutterKeepsEmptyLinesAndTheLastLineWithoutEnd) {
    EXPECT_EQ(CutLines("a\r\n\r\nb\n\nc\r\rd", 0),
              (std::vector<std::string>{"a", "", "b", "", "c", "", "d"}));
    EXPECT_EQ(CutLines("\n", 0), (std::vector<std::string>{""}));
    EXPECT_EQ(CutLines("a\r", 0), (std::vector<std::string>{"a"}));
    EXPECT_EQ(CutLines("\xEF\xBB\xBF", 0), (std::vector<std::string>{}));
    EXPECT_EQ(CutLines("", 0), (std::vector<std::string>{}));
}

// A file read in pieces gives the encoding and the lines of the file read whole, wherever the
// pieces end: inside a byte order mark, a CR LF pair, a UTF-8 or code page 936 character, a
// UTF-16 unit or surrogate pair.
TEST(ListTextTest, PiecesGiveWhatTheWholeFileGives) {
    const std::string files[] = {
        "\xEF\xBB\xBF手机号\r\n+86 138 0013 8000\r\n\r\n13912345678",
        "中文\r\n13812345678\n\r\n😀 139\r",
        "\xD6\xD0\xCE\xC4\r\n13812345678\n\r\n\xB1\xB8\xD7\xA2 139",
        "13812345678\r\n\xE6\x89\x8B\xE6\x9C",  // UTF-8 cut short: code page 936
        Utf16File(u"中文\r\n13812345678\n\r\n\U0001F600 139\r", false),
        Utf16File(u"中文\r\n\U0001F600\n\xD800x\r", true) + "\x31",
        "\xFF",
        "\xEF\xBB",
    };
    for (const std::string& file : files) {
        const std::vector<std::string> whole = CutLines(file, 0);
        for (std::size_t size = 1; size <= file.size(); ++size) {
            EXPECT_EQ(CutLines(file, size), whole) << testing::PrintToString(file) << size;
            EXPECT_EQ(CutLines(file, size, Choice::AsItReads), whole)
                << testing::PrintToString(file) << size;
        }
        for (std::size_t split = 0; split <= file.size(); ++split) {
            ListEncodingScan scan;
            scan.Add(std::string_view(file).substr(0, split));
            scan.Add(std::string_view(file).substr(split));
            const ListEncodingChoice choice = ChooseListEncoding(file);
            EXPECT_EQ(scan.Choice().encoding, choice.encoding) << testing::PrintToString(file);
            EXPECT_EQ(scan.Choice().bom_size, choice.bom_size) << testing::PrintToString(file);
        }
    }
    EXPECT_EQ(CutLines(files[5], 0), (std::vector<std::string>{"中文", "😀", "\uFFFDx", "\uFFFD"}));
}

// A line past kMaxListLine is given once, cut (never inside a UTF-8 character), and the next
// line is whole, whatever the pieces; an endless line is not held.
TEST(ListTextTest, OverlongLineIsGivenCut) {
    const std::string max(kMaxListLine, '1');
    const std::string utf8_at_cut = std::string(kMaxListLine - 1, 'a') + "中b";
    struct Case {
        std::string file;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {max + "\n2", {max, "2"}},
        {max + "1\r\n2", {max + "<cut>", "2"}},
        {"\xEF\xBB\xBF" + utf8_at_cut + "\n2",
         {utf8_at_cut.substr(0, kMaxListLine - 1) + "<cut>", "2"}},
        {Utf16File(std::u16string(kMaxListLine + 1, u'9') + u"\n2", false),
         {std::string(kMaxListLine, '9') + "<cut>", "2"}},
        {std::string(3 * kMaxListLine, '1'), {max + "<cut>"}},
    };
    for (const Case& c : cases) {
        for (const std::size_t size : {std::size_t{0}, std::size_t{1000}, kMaxListLine}) {
            const std::vector<std::string> lines = CutLines(c.file, size);
            // Compared without printing 64 KiB lines.
            EXPECT_TRUE(lines == c.lines)
                << c.file.size() << " in " << size << ": " << lines.size()
                << " lines, the first of " << (lines.empty() ? 0 : lines[0].size());
        }
    }
    // Memory: 64 MiB of one line, in pieces, are not kept.
    ListLineCutter cutter(ListEncodingChoice{});
    const std::string piece(1024 * 1024, '7');
    std::size_t given = 0;
    for (int i = 0; i < 64; ++i) cutter.Add(piece, [&given](std::string_view) { ++given; });
    cutter.Add("\n", [&given](std::string_view line) { given += line.size(); });
    EXPECT_EQ(given, kMaxListLine);
}

// Chosen as it reads, plain ASCII lines go out before the choice is made; the others wait for
// it. Text that stays valid UTF-8 for the whole window is UTF-8, and a line after it that is no
// UTF-8 is read as code page 936; within the window, such a line makes every line code page 936,
// as the choice from the whole text does.
TEST(ListTextTest, ChoosingAsItReads) {
    ListLineCutter cutter = ListLineCutter::ChoosingAsItReads();
    std::vector<std::string> lines;
    const auto keep = [&lines](std::string_view line) { lines.emplace_back(line); };
    cutter.Add("13812345678\n", keep);
    EXPECT_EQ(lines, std::vector<std::string>{"13812345678"});
    cutter.Add("张三\n139\n", keep);
    EXPECT_EQ(lines.size(), 1u);
    cutter.Finish(keep);
    EXPECT_EQ(lines, (std::vector<std::string>{"13812345678", "张三", "139"}));

    std::string filler;
    while (filler.size() <= ListLineCutter::kChoiceWindow) filler += "13812345678\n";
    const std::string gbk = "\xD5\xC5\xC8\xFD\n";  // 张三
    const std::vector<std::string> early =
        CutLines("张三\n" + filler + gbk, 128 * 1024, Choice::AsItReads);
    EXPECT_EQ(early.front(), "张三");
    EXPECT_EQ(early.back(), "张三");
    const std::string within = "张三\n" + filler.substr(0, 1024) + gbk;
    EXPECT_EQ(CutLines(within, 100, Choice::AsItReads), CutLines(within, 0));
    EXPECT_NE(CutLines(within, 0).front(), "张三");  // read as code page 936, as ever
}

TEST(ListTextTest, ScanSettlesOnAByteOrderMarkOrBytesThatAreNoUtf8) {
    ListEncodingScan scan;
    scan.Add("\xEF\xBB");
    EXPECT_FALSE(scan.Settled());
    scan.Add("\xBF\xD6\xD0");
    EXPECT_TRUE(scan.Settled());
    ListEncodingScan utf8;
    utf8.Add("中文 13812345678");
    EXPECT_FALSE(utf8.Settled());  // a later byte may still be no UTF-8
    utf8.Add("\xD6\xD0");
    EXPECT_TRUE(utf8.Settled());
    EXPECT_EQ(utf8.Choice().encoding, ListEncoding::CodePage936);
}

}  // namespace
}  // namespace numtrail
