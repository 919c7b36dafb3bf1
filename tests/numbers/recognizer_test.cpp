#include "numbers/recognizer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "attribution/cities.h"

namespace numtrail {
namespace {

using attribution::NumberKind;

// The numbers of a line written as the tables below write them: space-separated, a
// landline's area code ended by "|" (0755|86001234).
std::string Written(const NumberRecognizer& recognizer, std::string_view line) {
    std::string out;
    recognizer.ForEach(line, [&out](const FoundNumber& found) {
        const attribution::Number& n = found.number;
        if (!out.empty()) out += ' ';
        if (n.kind == NumberKind::Landline) {
            out.append(n.AreaCode()).append(1, '|').append(n.Digits().substr(n.area_code_size));
        } else {
            out.append(n.Digits());
        }
    });
    return out;
}

std::string Written(std::string_view line) { return Written(NumberRecognizer::BuiltIn(), line); }

struct Found {
    const char* line;     // UTF-8
    const char* numbers;  // as Written() writes them
};

// Lines as users bring them, by where they come from.
constexpr Found kFound[] = {
    // Spellings of one number.
    {"13800138000", "13800138000"},
    {" 19901234567  ", "19901234567"},
    {"\t16612345678", "16612345678"},
    {"\u00A013812345678\u3000", "13812345678"},
    {"138 0013 8000", "13800138000"},
    {"138-0013-8000", "13800138000"},
    {"138.0013.8000", "13800138000"},
    {"(138)0013\u20138000", "13800138000"},
    {"138\uFF0D0013\uFF0D8000", "13800138000"},
    {"138\u20140013\u22128000", "13800138000"},
    {"138  -  0013  -  8000", "13800138000"},
    {"1380 013 8000", "13800138000"},
    {"１３８００１３８０００", "13800138000"},
    {"1380013800０", "13800138000"},
    {"+8613800138000", "13800138000"},
    {"+86 138 0013 8000", "13800138000"},
    {"+ 86 138 0013 8000", "13800138000"},
    {"(+86)13800138000", "13800138000"},
    {"(+86) 138-0013-8000", "13800138000"},
    {"+86.13800138000", "13800138000"},
    {"\uFF0B86 13800138000", "13800138000"},
    {"0086 13800138000", "13800138000"},
    {"008613800138000", "13800138000"},
    {"0086-138-0013-8000", "13800138000"},
    {"8613800138000", "13800138000"},
    {"86 138 0013 8000", "13800138000"},
    {"013800138000", "13800138000"},
    {"0 13800138000", "13800138000"},
    {"0138-0013-8000", "13800138000"},
    // Invisible characters, as pasted from chat apps and web pages, wherever they stand.
    {"\uFEFF13800138000", "13800138000"},
    {"13800138000\u200B", "13800138000"},
    {"138\u200B0013\u200C8000", "13800138000"},
    {"1380013\u00AD8000", "13800138000"},
    {"\u2060138\u200D 0013 8000\uFEFF", "13800138000"},
    // Contacts exported as CSV.
    {"张三,13800138000,北京", "13800138000"},
    {"\"张三\",\"13800138000\",\"\"", "13800138000"},
    {"李四,+86 139-0013-9000,010-62345678,某某公司", "13900139000 010|62345678"},
    {"王五;13700137000;", "13700137000"},
    {"赵六\t13600136000\t上海", "13600136000"},
    {"Zhang San,,+8618612345678,,Home", "18612345678"},
    {"1,张三,男,13800138000,2026-12-08", "13800138000"},
    {"张三，13800138000，备注", "13800138000"},
    // vCard TEL values.
    {"TEL;TYPE=CELL:13800138000", "13800138000"},
    {"TEL;TYPE=CELL:+86 138 0013 8000", "13800138000"},
    {"TEL;TYPE=WORK,VOICE:(010) 6234-5678", "010|62345678"},
    {"item1.TEL;type=pref:+86-755-8600-1234", "0755|86001234"},
    {"TEL;VALUE=uri;TYPE=cell:tel:+86-138-0013-8000", "13800138000"},
    {"TEL;CELL;PREF:013800138000", "13800138000"},
    // Chat copies.
    {"[2026-12-08 10:30] 李四: 我的手机13800138000，有事打我", "13800138000"},
    {"微信同号13800138000", "13800138000"},
    {"电话:13800138000", "13800138000"},
    {"手机：13800138000", "13800138000"},
    {"加我微信 138 0013 8000 备注王女士", "13800138000"},
    {"13800138000（张经理）", "13800138000"},
    {"<13800138000>", "13800138000"},
    {"号码是13800138000。", "13800138000"},
    {"@张三 13800138000", "13800138000"},
    {"打这个 13800138000 或者 13900139000 都行", "13800138000 13900139000"},
    // Spreadsheet columns and rows.
    {"'13800138000", "13800138000"},
    {"=\"13800138000\"", "13800138000"},
    {"13800138000.0", "13800138000"},
    {"13800138000\t张三\t2026/12/08", "13800138000"},
    {"1\t张三\t13800138000", "13800138000"},
    {"0755\t86001234", "0755|86001234"},
    // Running text.
    {"Tel: 138-0013-8000 转 8", "13800138000"},
    {"No.12 13800138000", "13800138000"},
    {"No.12 138 0013 8000", "13800138000"},
    {"【联系人】王女士 138 0013 8000", "13800138000"},
    {"2026-12-08 13800138000", "13800138000"},
    {"2026-12-08 138 0013 8000", "13800138000"},
    {"tel:+86-138-0013-8000", "13800138000"},
    {"张伟 13800138000", "13800138000"},
    {"13800138000 张伟", "13800138000"},
    {"请于12月8日前联系13800138000", "13800138000"},
    {"订单2026120813800138000已发货，联系电话13900139000", "13900139000"},
    {"身份证110105194912310021，手机13800138000", "13800138000"},
    {"(1)13800138000", "13800138000"},
    // Landlines.
    {"010-62345678", "010|62345678"},
    {"01062345678", "010|62345678"},
    {"(0755)86001234", "0755|86001234"},
    {"\uFF080755\uFF098600-1234", "0755|86001234"},
    {"0755 8600 1234", "0755|86001234"},
    {"0755-8600123", "0755|8600123"},
    {"021 6234 5678", "021|62345678"},
    {"020\u20148765 4321", "020|87654321"},
    {"028 8600 1234", "028|86001234"},
    {"+86 10 6234 5678", "010|62345678"},
    {"+86 755 8600 1234", "0755|86001234"},
    {"+8675586001234", "0755|86001234"},
    {"0086 10 62345678", "010|62345678"},
    {"+86 (0)10 6234 5678", "010|62345678"},
    {"+86-010-62345678", "010|62345678"},
    {"0755-86001234-8001", "0755|86001234"},
    {"0755 8600 1234 8001", "0755|86001234"},
    {"0086 0755 8600 1234", "0755|86001234"},
    {"010-62345678转8001", "010|62345678"},
    // Service numbers.
    {"400-800-1234", "4008001234"},
    {"4008001234", "4008001234"},
    {"800 820 8820", "8008208820"},
    {"400 8001 234", "4008001234"},
    {"4006-123-456", "4006123456"},
    // Several numbers in a line, in order.
    {"13800138000/13900139000", "13800138000 13900139000"},
    {"手机 13800138000 座机 010-62345678", "13800138000 010|62345678"},
    {"13800138000 13900139000", "13800138000 13900139000"},
    {"138 0013 8000 139 0013 9000", "13800138000 13900139000"},
    {"13800138000,13900139000;13700137000", "13800138000 13900139000 13700137000"},
    {"13800138000-13800138099", "13800138000 13800138099"},
    {"+8613800138000+8613900139000", "13800138000 13900139000"},
};

TEST(NumberRecognizer, FindsTheNumbersOfLinesAsUsersBringThem) {
    for (const Found& c : kFound) EXPECT_EQ(Written(c.line), c.numbers) << c.line;
}

struct NoNumber {
    const char* line;
    EntryKind kind;
};

// Lines that hold no number, whatever their digits look like.
constexpr NoNumber kNoNumber[] = {
    // Identity cards, bank cards and order numbers: runs longer than any number.
    {"110105194912310021", EntryKind::AsItStood},
    {"11010519491231002X", EntryKind::AsItStood},
    {"身份证号：110105194912310021", EntryKind::AsItStood},
    {"110105 19491231 0021", EntryKind::AsItStood},
    {"6222021380013800123", EntryKind::AsItStood},
    {"6222 0551 8001 3800", EntryKind::AsItStood},
    {"6222-0138-0013-8000-123", EntryKind::AsItStood},
    {"2026120813800138000", EntryKind::AsItStood},
    {"订单号：2026120813800138000", EntryKind::AsItStood},
    {"138001380001", EntryKind::AsItStood},
    // Dates and times.
    {"2026-12-08", EntryKind::AsItStood},
    {"2026/12/08", EntryKind::AsItStood},
    {"2026.12.08", EntryKind::AsItStood},
    {"2026年12月08日", EntryKind::AsItStood},
    {"2026-12-08 10:30:15", EntryKind::AsItStood},
    {"2026-12-08 6234 5678", EntryKind::AsItStood},
    // Amounts and spreadsheet floats.
    {"13,800,138.00", EntryKind::AsItStood},
    {"¥1,380,013,800", EntryKind::AsItStood},
    {"13 800 138 000", EntryKind::AsItStood},
    {"138 001 380.00", EntryKind::AsItStood},
    {"13800138.000", EntryKind::AsItStood},
    {"1.38001E+10", EntryKind::AsItStood},
    {"1.3800138E+10", EntryKind::AsItStood},
    // Almost numbers.
    {"13800138x00", EntryKind::AsItStood},
    {"138****8000", EntryKind::AsItStood},
    {"1380013800", EntryKind::AsItStood},
    {"23800138000", EntryKind::AsItStood},
    {"12800138000", EntryKind::AsItStood},
    {"86 1380013800", EntryKind::AsItStood},
    {"138 0013 80 00", EntryKind::AsItStood},
    {"138 00138000", EntryKind::AsItStood},
    {"1380013 8000", EntryKind::AsItStood},
    {"0106234 5678", EntryKind::AsItStood},
    {"13 8001 38000", EntryKind::AsItStood},
    {"0755-1234567", EntryKind::AsItStood},
    {"0000-86001234", EntryKind::AsItStood},
    {"0 86001234", EntryKind::AsItStood},
    {"62345678", EntryKind::AsItStood},
    {"0 10 62345678", EntryKind::AsItStood},
    {"4001-8001-23", EntryKind::AsItStood},
    {"95588", EntryKind::AsItStood},
    // Values of neighbouring cells of a spreadsheet row.
    {"150\t20261208", EntryKind::AsItStood},
    {"1384500\t2026-12-08", EntryKind::AsItStood},
    {"0895542\t\t\t2025/7/24", EntryKind::AsItStood},
    // Foreign numbers: the country code is not 86.
    {"+13800138000", EntryKind::AsItStood},
    {"+85213800138000", EntryKind::AsItStood},
    {"+1 415 555 1234", EntryKind::AsItStood},
    // Other text with digits.
    {"VERSION:3.0", EntryKind::AsItStood},
    {"192.168.1.100", EntryKind::AsItStood},
    {"IMG_20261208_138001380.jpg", EntryKind::AsItStood},
    {"\xFF"
     "1380013800",
     EntryKind::AsItStood},
    // No digit at all.
    {"", EntryKind::NoDigits},
    {" \t\u3000", EntryKind::NoDigits},
    {"\u200B", EntryKind::NoDigits},
    {"手机号", EntryKind::NoDigits},
    {"姓名,电话", EntryKind::NoDigits},
    {"BEGIN:VCARD", EntryKind::NoDigits},
    {"---", EntryKind::NoDigits},
    {"+", EntryKind::NoDigits},
};

TEST(NumberRecognizer, FindsNoNumberInDigitsThatAreNone) {
    for (const NoNumber& c : kNoNumber) {
        EXPECT_EQ(Written(c.line), "") << c.line;
        EXPECT_EQ(NumberRecognizer::BuiltIn().First(c.line).kind, c.kind) << c.line;
    }
}

TEST(NumberRecognizer, SpansAreTheNumbersAsWritten) {
    const std::pair<const char*, std::vector<std::string_view>> cases[] = {
        {"张伟 13800138000", {"13800138000"}},
        {"tel:+86-138-0013-8000;", {"+86-138-0013-8000"}},
        {"(+86) 138 0013 8000 ", {"+86) 138 0013 8000"}},
        {"手机 13800138000 座机 010-62345678", {"13800138000", "010-62345678"}},
        {"\uFF080755\uFF098600-1234", {"0755\uFF098600-1234"}},
        {"电话１３８００１３８０００。", {"１３８００１３８０００"}},
        {"\u200B138\u200B00138000\u200B", {"138\u200B00138000"}},
        {"\u200B138 0013\u200B 8000\u200B", {"138 0013\u200B 8000"}},
    };
    for (const auto& [line, spans] : cases) {
        const std::string_view text = line;
        std::vector<std::string_view> found;
        NumberRecognizer::BuiltIn().ForEach(text, [&](const FoundNumber& n) {
            found.push_back(text.substr(n.begin, n.end - n.begin));
        });
        EXPECT_EQ(found, spans) << line;
    }
}

// Lines that are nearly a plain number, one character off: the short way for plain lines
// must take none of them for a number.
TEST(NumberRecognizer, PlainNumberWithOneCharacterOff) {
    const NumberRecognizer& recognizer = NumberRecognizer::BuiltIn();
    const std::string plain = "13800138000";
    ASSERT_EQ(Written(plain), plain);
    for (std::size_t at = 0; at < plain.size(); ++at) {
        for (const char c : {'x', '/', ':', ' ', '-', '\xFF', '\0'}) {
            std::string replaced = plain;
            replaced[at] = c;
            EXPECT_EQ(Written(replaced), "") << replaced;
            EXPECT_EQ(recognizer.First(replaced).kind, EntryKind::AsItStood) << replaced;
        }
        std::string wide = plain;
        wide.replace(at, 1, std::string("\xEF\xBC") + static_cast<char>(0x90 + plain[at] - '0'));
        EXPECT_EQ(Written(wide), plain) << wide;
    }
    for (std::size_t at = 0; at <= plain.size(); ++at) {
        std::string inserted = plain;
        inserted.insert(at, 1, 'x');
        EXPECT_EQ(Written(inserted), at == 0 || at == plain.size() ? plain : "") << inserted;
    }
    EXPECT_EQ(Written(plain.substr(1)), "");
    EXPECT_EQ(Written(plain + "0"), "");
    EXPECT_EQ(Written("0" + plain), plain);  // a long-distance 0
}

// Chunks of more groups than a decision looks at, however many come before.
TEST(NumberRecognizer, LongRunsOfGroups) {
    const auto repeated = [](std::string_view text, int times) {
        std::string out;
        for (int i = 0; i < times; ++i) out += text;
        return out;
    };
    EXPECT_EQ(Written(repeated("13800138000 ", 40)), repeated("13800138000 ", 40).substr(0, 479));
    EXPECT_EQ(Written(repeated("0755 8600 1234 ", 9)),
              repeated("0755|86001234 ", 9).substr(0, 125));
    for (int before = 0; before < 40; ++before) {
        EXPECT_EQ(Written(repeated("7 ", before) + "138 0013 8000"), "13800138000") << before;
        EXPECT_EQ(Written(repeated("7 ", before) + "0086 (0)755 8600 1234"), "0755|86001234")
            << before;
    }
    // A card number that goes on past the groups a decision looks at.
    EXPECT_EQ(Written("6222 " + repeated("0551 8001 3800 ", 10) + "13800138000"), "13800138000");
}

TEST(NumberRecognizer, FirstNumberAndStoppingEarly) {
    const NumberRecognizer& recognizer = NumberRecognizer::BuiltIn();
    const FirstNumber first = recognizer.First("座机 010-62345678 手机 13800138000");
    ASSERT_EQ(first.kind, EntryKind::Number);
    EXPECT_EQ(first.found.number.Digits(), "01062345678");
    EXPECT_EQ(first.found.number.kind, NumberKind::Landline);
    EXPECT_EQ(first.found.number.AreaCode(), "010");
    EXPECT_EQ(recognizer.First("13800138000").found.number.kind, NumberKind::Mobile);
    EXPECT_EQ(recognizer.First("400-800-1234").found.number.kind, NumberKind::Service);

    int calls = 0;
    const EntryKind kind = recognizer.ForEach("13800138000 13900139000 13700137000",
                                              [&calls](const FoundNumber&) { return ++calls < 2; });
    EXPECT_EQ(kind, EntryKind::Number);
    EXPECT_EQ(calls, 2);
}

TEST(NumberRecognizer, AreaCodesAreThoseOfTheCityTable) {
    const attribution::CityTable table(
        "province\tcity\tarea_code\tpostcode\n"
        "广东\t深圳\t0755\t518000\n"
        "北京\t北京\t010\t100000\n"
        "坏\t坏\t07x5\t\n"
        "坏\t坏\t12\t\n"
        "山东\t济南\t0531\t250000\t\t0634\n");
    const NumberRecognizer recognizer(table);
    EXPECT_EQ(Written(recognizer, "0755-86001234 010-62345678 021-62345678 0571-86001234"),
              "0755|86001234 010|62345678");
    // A further code of a city, dialled since a merger, is an area code too.
    EXPECT_EQ(Written(recognizer, "0634-6001234"), "0634|6001234");
    EXPECT_EQ(Written(recognizer, "13800138000"), "13800138000");
}

// The longest area code that leaves a local number of 7 or 8 digits wins.
TEST(NumberRecognizer, LongestAreaCodeWins) {
    const attribution::CityTable table(
        "province\tcity\tarea_code\tpostcode\n"
        "甲\t甲\t023\t\n"
        "乙\t乙\t0233\t\n");
    const NumberRecognizer recognizer(table);
    EXPECT_EQ(Written(recognizer, "02336001234"), "0233|6001234");
    EXPECT_EQ(Written(recognizer, "023360012345"), "0233|60012345");
    EXPECT_EQ(Written(recognizer, "0231600123"), "");  // local numbers start with 2 to 9
    EXPECT_EQ(Written(recognizer, "023-36001234"), "023|36001234");
}

// A number as users write it, and its national digits.
struct Spelled {
    std::string text;
    std::string digits;
};

// Random lines of numbers, digit runs, fillers and text.
class RandomLines {
  public:
    explicit RandomLines(std::uint32_t seed) : random_(seed) {}

    std::string Line() {
        std::string line;
        const int pieces = Below(8) + 1;
        for (int i = 0; i < pieces; ++i) {
            switch (Below(6)) {
                case 0:
                case 1:
                    line += Number().text;
                    break;
                case 2:
                    line += Digits(Below(22) + 1);
                    break;
                default: {
                    static constexpr const char* kBits[] = {
                        " ",  "-",  ".",  "(", ")",  "+",        "张三",     ":",  "，",
                        "/",  "x",  "\t", "0", "86", "\u200B",   "\uFEFF",   "８", "＋",
                        "（", "）", "00", "1", "13", "\xE2\x80", "\xEF\xBC",
                    };
                    line += kBits[Below(std::size(kBits))];
                }
            }
        }
        return line;
    }

    // A line of ASCII digits and fillers only, perhaps behind a "+", as most lines of a list
    // that are not plain numbers are.
    std::string FillersAndDigits() {
        std::string line = Below(4) == 0 ? "+" : "";
        const int pieces = Below(6) + 1;
        for (int i = 0; i < pieces; ++i) {
            static constexpr const char* kFillers[] = {" ", "-", ".", "(", ")", "\t", "  "};
            if (Below(3) == 0) line += kFillers[Below(std::size(kFillers))];
            line += Below(2) ? Number().text : Digits(Below(12) + 1);
        }
        if (Below(3) == 0) line += Below(2) ? " " : "\t ";
        return line.find_first_not_of("+0123456789 -.()\t") == std::string::npos ? line
                                                                                 : Digits(11);
    }

    // A character that ends a number.
    std::string Separator() {
        static constexpr const char* kSeparators[] = {"，", ",",  ":", "：", "/", "张", "x",
                                                      "'",  "\"", "<", ">",  "#", "【", "】"};
        return kSeparators[Below(std::size(kSeparators))];
    }

    Spelled Number() {
        static constexpr const char* kGaps[] = {"", " ", "-", ".", "\u2014", "\u3000", " - "};
        const std::string gap = kGaps[Below(std::size(kGaps))];
        switch (Below(4)) {
            case 0: {
                static constexpr const char* kPrefixes[] = {"",     "",      "+86", "+86 ",
                                                            "0086", "86",    "0",   "(+86)",
                                                            "+86.", "0086 ", "86 ", "+86-"};
                const std::string n = "1" + std::to_string(3 + Below(7)) + Digits(9);
                return {kPrefixes[Below(std::size(kPrefixes))] + n.substr(0, 3) + gap +
                            n.substr(3, 4) + gap + n.substr(7),
                        n};
            }
            case 1: {
                const std::string area = Below(2) ? "0755" : "010";
                const std::string local = std::to_string(2 + Below(8)) + Digits(Below(2) ? 6 : 7);
                if (Below(3) == 0) return {"+86 " + area.substr(1) + gap + local, area + local};
                const bool parens = Below(3) == 0;
                return {(parens ? "(" + area + ")" : area + gap) + local, area + local};
            }
            default: {
                const std::string n = (Below(2) ? "400" : "800") + Digits(7);
                return {n.substr(0, 3) + gap + n.substr(3, 3) + gap + n.substr(6), n};
            }
        }
    }

  private:
    int Below(std::size_t n) { return static_cast<int>(random_() % n); }

    std::string Digits(int n) {
        std::string d;
        for (int i = 0; i < n; ++i) d += static_cast<char>('0' + Below(10));
        return d;
    }

    std::mt19937 random_;
};

// The ASCII digits of a text, full-width ones converted; anything else left out.
std::string DigitsOf(std::string_view text) {
    std::string digits;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto third = i + 2 < text.size() ? static_cast<unsigned char>(text[i + 2]) : 0;
        if (text[i] >= '0' && text[i] <= '9') {
            digits += text[i];
        } else if (text.substr(i, 2) == "\xEF\xBC" && third >= 0x90 && third <= 0x99) {
            digits += static_cast<char>('0' + (third - 0x90));
            i += 2;
        }
    }
    return digits;
}

// Whether `text` starts with a digit, ASCII or full-width.
bool StartsWithDigit(std::string_view text) {
    if (!text.empty() && text[0] >= '0' && text[0] <= '9') return true;
    return text.size() >= 3 && text.starts_with("\xEF\xBC") &&
           static_cast<unsigned char>(text[2]) >= 0x90 &&
           static_cast<unsigned char>(text[2]) <= 0x99;
}

bool EndsWithDigit(std::string_view text) {
    if (!text.empty() && text.back() >= '0' && text.back() <= '9') return true;
    return text.size() >= 3 && text[text.size() - 3] == '\xEF' &&
           StartsWithDigit(text.substr(text.size() - 3));
}

// Whether a digit ends `before` or starts `after`, once invisible characters are passed over.
bool DigitBeside(std::string_view before, std::string_view after) {
    static constexpr std::string_view kInvisible[] = {"\u200B", "\u200C", "\u200D",
                                                      "\u2060", "\uFEFF", "\u00AD"};
    for (bool passed = true; passed;) {
        passed = false;
        for (const std::string_view invisible : kInvisible) {
            if (before.ends_with(invisible)) before.remove_suffix(invisible.size()), passed = true;
            if (after.starts_with(invisible)) after.remove_prefix(invisible.size()), passed = true;
        }
    }
    return EndsWithDigit(before) || StartsWithDigit(after);
}

TEST(NumberRecognizer, FoundDigitsStandInTheLineInOrderAndNeverInsideALongerRun) {
    const NumberRecognizer& recognizer = NumberRecognizer::BuiltIn();
    RandomLines lines(29);
    int found_total = 0;
    for (int i = 0; i < 100000; ++i) {
        const std::string line = lines.Line();
        const std::string_view text = line;
        std::size_t last_end = 0;
        std::vector<std::string> found;
        const EntryKind kind = recognizer.ForEach(text, [&](const FoundNumber& f) {
            ASSERT_LE(last_end, f.begin) << line;
            ASSERT_LT(f.begin, f.end) << line;
            ASSERT_LE(f.end, line.size()) << line;
            last_end = f.end;
            const std::string_view span = text.substr(f.begin, f.end - f.begin);
            const std::string digits = DigitsOf(span);
            const std::string_view n = f.number.Digits();
            // The national digits close the span; before them stands a prefix, and a
            // landline after a country code may have left out its 0.
            const bool whole = digits.ends_with(n);
            ASSERT_TRUE(whole ||
                        (f.number.kind == NumberKind::Landline && digits.ends_with(n.substr(1))))
                << line;
            const std::string prefix = digits.substr(0, digits.size() - n.size() + !whole);
            EXPECT_TRUE(prefix == "86" || prefix == "0086" ||
                        (whole && (prefix.empty() || prefix == "0")))
                << line;
            // It starts with a digit or a plus and ends with a digit, and no digit stands
            // beside it: a "+" starts a number of its own.
            const bool plus = span.starts_with("+") || span.starts_with("\uFF0B");
            EXPECT_TRUE(plus || StartsWithDigit(span)) << line;
            EXPECT_TRUE(EndsWithDigit(span)) << line;
            EXPECT_FALSE(DigitBeside(plus ? "" : text.substr(0, f.begin), text.substr(f.end)))
                << line;
            found.emplace_back(n);
        });
        EXPECT_EQ(kind, !found.empty()            ? EntryKind::Number
                        : !DigitsOf(line).empty() ? EntryKind::AsItStood
                                                  : EntryKind::NoDigits)
            << line;
        const FirstNumber first = recognizer.First(line);
        EXPECT_EQ(first.kind, kind) << line;
        if (!found.empty()) {
            EXPECT_EQ(first.found.number.Digits(), found.front()) << line;
        }
        // A number's own digits are that number.
        for (const std::string& n : found) EXPECT_EQ(recognizer.First(n).found.number.Digits(), n);
        found_total += static_cast<int>(found.size());
    }
    EXPECT_GT(found_total, 50000);  // the lines do hold numbers
}

// The numbers of a line, with their spans.
std::vector<std::string> FoundWithSpans(std::string_view line) {
    std::vector<std::string> found;
    NumberRecognizer::BuiltIn().ForEach(line, [&found](const FoundNumber& f) {
        found.push_back(std::string(f.number.Digits()) + "@" + std::to_string(f.begin) + "-" +
                        std::to_string(f.end));
    });
    return found;
}

// Lines that are plain numbers, or only digits and fillers, take short ways; a character that
// ends a number, put after them, makes them take the long way, which must find the same.
TEST(NumberRecognizer, ShortWaysFindWhatTheLongWayFinds) {
    RandomLines lines(400);
    int found = 0;
    for (int i = 0; i < 100000; ++i) {
        const std::string line = i % 4 == 0 ? lines.Number().text : lines.FillersAndDigits();
        const std::vector<std::string> short_way = FoundWithSpans(line);
        EXPECT_EQ(short_way, FoundWithSpans(line + "张")) << line;
        found += !short_way.empty();
    }
    EXPECT_GT(found, 30000);
}

TEST(NumberRecognizer, FindsANumberBetweenAnyTextAndAnyOtherCharacter) {
    const NumberRecognizer& recognizer = NumberRecognizer::BuiltIn();
    RandomLines lines(86);
    for (int i = 0; i < 20000; ++i) {
        const Spelled number = lines.Number();
        const std::string before = lines.Line() + lines.Separator();
        const std::string line = before + number.text + lines.Separator() + lines.Line();
        // A number's span starts at its first digit or at its "+".
        const std::size_t begin = before.size() + number.text.find_first_of("+0123456789\xEF");
        bool seen = false;
        recognizer.ForEach(line, [&](const FoundNumber& f) {
            seen = seen || (f.begin == begin && f.end == before.size() + number.text.size() &&
                            f.number.Digits() == number.digits);
        });
        EXPECT_TRUE(seen) << number.text << " in " << line;
    }
}

}  // namespace
}  // namespace numtrail
