#include "numbers/entry_cleaning.h"

#include <gtest/gtest.h>

namespace numtrail {
namespace {

struct Spelling {
    const char* line;  // UTF-8
    EntryKind kind;
    const char* number;  // for kind Number
};

// Numbers as phones, spreadsheets and people write them.
constexpr Spelling kSpellings[] = {
    {"13812345678", EntryKind::Number, "13812345678"},
    {" 19901234567  ", EntryKind::Number, "19901234567"},
    {"\t16612345678", EntryKind::Number, "16612345678"},
    {"\u00A013812345678\u3000", EntryKind::Number, "13812345678"},
    {"138 1234 5678", EntryKind::Number, "13812345678"},
    {"138-1234-5678", EntryKind::Number, "13812345678"},
    {"138.1234.5678", EntryKind::Number, "13812345678"},
    {"(138)1234\u20135678", EntryKind::Number, "13812345678"},
    {"138\uFF0D1234\uFF0D5678", EntryKind::Number, "13812345678"},
    {"+8617012345678", EntryKind::Number, "17012345678"},
    {"+86 138 1234 5678", EntryKind::Number, "13812345678"},
    {"(+86) 138-1234-5678 ", EntryKind::Number, "13812345678"},
    {"\uFF0B86 13812345678", EntryKind::Number, "13812345678"},
    {"008613812345678", EntryKind::Number, "13812345678"},
    {"8613812345678", EntryKind::Number, "13812345678"},
    {"0086 138-1234-5678", EntryKind::Number, "13812345678"},
    {" +8613812345678", EntryKind::Number, "13812345678"},
    {"+ 86 138 1234 5678", EntryKind::Number, "13812345678"},
    {"\"138 1234 5678\"", EntryKind::Number, "13812345678"},
    {"８６１９９０１２３４５６７", EntryKind::Number, "19901234567"},
    {"1381234567８", EntryKind::Number, "13812345678"},
    {"\uFEFF13812345678", EntryKind::Number, "13812345678"},
    // Fields: the first that cleans to a number is the entry.
    {"张三,13812345678", EntryKind::Number, "13812345678"},
    {"13812345678,张三", EntryKind::Number, "13812345678"},
    {"1;2;13812345678;13900000000", EntryKind::Number, "13812345678"},
    {"张三\t+86 138-1234-5678\t北京", EntryKind::Number, "13812345678"},
    {"王五|13812345678|", EntryKind::Number, "13812345678"},
    {"\"13812345678\",\"张三\"", EntryKind::Number, "13812345678"},
    {"张三，13812345678", EntryKind::Number, "13812345678"},
    // Digits but no number: the entry stays as it stood.
    {"abc123", EntryKind::AsItStood, ""},
    {"1381234567", EntryKind::AsItStood, ""},
    {"138123456789", EntryKind::AsItStood, ""},
    {"1381234567812345", EntryKind::AsItStood, ""},
    {"138 1234 5678 1234 5678 1234 5678 1234 5678 1234 5678", EntryKind::AsItStood, ""},
    {"++8613812345678", EntryKind::AsItStood, ""},
    {"23812345678", EntryKind::AsItStood, ""},
    {"1381234567a", EntryKind::AsItStood, ""},
    {"13812345678 张三", EntryKind::AsItStood, ""},
    {"+13812345678", EntryKind::AsItStood, ""},
    {"+85213812345678", EntryKind::AsItStood, ""},
    {"+86 1381234567", EntryKind::AsItStood, ""},
    {"138+8612345678", EntryKind::AsItStood, ""},
    {"0086138123456789", EntryKind::AsItStood, ""},
    {"86138123456", EntryKind::AsItStood, ""},
    {"张三,1381234567", EntryKind::AsItStood, ""},
    {"\xFF"
     "13812345678",
     EntryKind::AsItStood, ""},
    // No digit at all: dropped like an empty line.
    {"", EntryKind::NoDigits, ""},
    {" \t\u3000", EntryKind::NoDigits, ""},
    {"手机号", EntryKind::NoDigits, ""},
    {"姓名,电话", EntryKind::NoDigits, ""},
    {"---", EntryKind::NoDigits, ""},
};

TEST(CleanEntryTest, RealWorldSpellings) {
    for (const Spelling& s : kSpellings) {
        const CleanedEntry entry = CleanEntry(s.line);
        EXPECT_EQ(entry.kind, s.kind) << s.line;
        if (s.kind == EntryKind::Number) {
            EXPECT_EQ(entry.Number(), s.number) << s.line;
        }
    }
}

}  // namespace
}  // namespace numtrail
