#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/resource.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "attribution/attributor.h"
#include "attribution/data_file_builder.h"
#include "attribution/local_attributor.h"
#include "numbers/recognizer.h"
#include "product/product.h"
#include "support/expect_runs.h"
#include "support/named_pipe.h"
#include "support/run_program.h"
#include "support/scratch_dir.h"
#include "support/stand_in_upstream.h"
#include "support/workbooks.h"
#include "tables/table.h"

namespace numtrail {
namespace {

using test::ProgramRun;
using test::ReadFile;
using test::WriteFile;

ProgramRun Lookup(const std::vector<std::string>& arguments, const std::string& input = {}) {
    return test::RunProgram(NUMTRAIL_LOOKUP_PROGRAM, arguments, input);
}

// The lines of `text` cut at LF.
std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(text.substr(start, end - start));
    if (start < text.size()) lines.push_back(text.substr(start));
    return lines;
}

// The first field of each TSV row after the header: the input line as written back.
std::vector<std::string> FirstFields(const std::string& tsv) {
    std::vector<std::string> fields;
    for (const std::string& row : Lines(tsv)) fields.push_back(row.substr(0, row.find('\t')));
    fields.erase(fields.begin());
    return fields;
}

// Runs numtrail-lookup on a file's bytes coming down a pipe. Through a shell, so that the
// program's peak memory is its own: one started straight from this process begins as a view of
// this process's memory, and the kernel counts that in its peak.
ProgramRun LookupPiped(const std::filesystem::path& input, std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(),
                     {"-c", "cat \"$0\" | \"$@\"", input, NUMTRAIL_LOOKUP_PROGRAM});
    return test::RunProgram("/bin/sh", arguments);
}

// The highest peak memory of the programs that this test has run, in MiB.
long ChildrenPeakMiB() {
    rusage usage = {};
    ::getrusage(RUSAGE_CHILDREN, &usage);
    return usage.ru_maxrss / 1024;
}

// Writes `repeated` until the file holds `size` bytes, then `tail`, without holding it whole.
void WriteLarge(const std::filesystem::path& file, std::string_view head, std::string_view repeated,
                std::size_t size, std::string_view tail) {
    std::ofstream out(file, std::ios::binary);
    out << head;
    std::string block;
    while (block.size() < (1 << 20)) block += repeated;
    for (std::size_t written = head.size(); written < size; written += block.size()) out << block;
    out << tail;
}

class LookupTest : public test::ScratchDirTest {
  protected:
    // No data file of the machine's user may answer in a test.
    void SetUp() override { ::setenv("XDG_DATA_HOME", Dir().c_str(), 1); }
};

// Numbers written the ways users write them, a header, blank lines and bad entries, line ends
// of every kind, and a last line without one: each line gives its row, in order.
TEST_F(LookupTest, EveryLineGivesOneRowInOrder) {
    const std::string list =
        "\xEF\xBB\xBF手机号\r\n13800138000\r\n\r\n+86 139 1234 5678\rabc\n\n1380013800\r\n"
        "138-0013-8000";
    const ProgramRun run = Lookup({"--format", "tsv", "-"}, list);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(FirstFields(run.out),
              (std::vector<std::string>{"手机号", "13800138000", "", "'+86 139 1234 5678", "abc",
                                        "", "1380013800", "138-0013-8000"}));
}

// One small list in every format: quoting and escaping, the four statuses, code page 936 and
// the export line's layout for `fixed`.
TEST_F(LookupTest, FormatsWriteTheseBytes) {
    WriteFile(Path("list.txt"),
              "13800138000\n张三,+86 199 1234 5678\n\n15400000000\na\"b,1380013800\n"
              "\"13800138000\"\n\t13800138000");
    struct Case {
        const char* format;
        std::string bytes;
    };
    const Case cases[] = {
        {"csv",
         "line,number,province,city,area_code,postcode,card_type,status,kind\r\n"
         "13800138000,13800138000,北京,北京,010,100000,中国移动,ok,mobile\r\n"
         "\"张三,+86 199 1234 5678\",19912345678,未知,未知,,,中国电信,unknown-place,mobile\r\n"
         ",,,,,,,bad-format,\r\n"
         "15400000000,15400000000,,,,,,unassigned,mobile\r\n"
         "\"a\"\"b,1380013800\",,,,,,,bad-format,\r\n"
         "\"\"\"13800138000\"\"\",13800138000,北京,北京,010,100000,中国移动,ok,mobile\r\n"
         "'\t13800138000,13800138000,北京,北京,010,100000,中国移动,ok,mobile\r\n"},
        {"tsv",
         "line\tnumber\tprovince\tcity\tarea_code\tpostcode\tcard_type\tstatus\tkind\n"
         "13800138000\t13800138000\t北京\t北京\t010\t100000\t中国移动\tok\tmobile\n"
         "张三,+86 199 1234 5678\t19912345678\t未知\t未知\t\t\t中国电信\tunknown-place\tmobile\n"
         "\t\t\t\t\t\t\tbad-format\t\n"
         "15400000000\t15400000000\t\t\t\t\t\tunassigned\tmobile\n"
         "a\"b,1380013800\t\t\t\t\t\t\tbad-format\t\n"
         "\"13800138000\"\t13800138000\t北京\t北京\t010\t100000\t中国移动\tok\tmobile\n"
         "'\\t13800138000\t13800138000\t北京\t北京\t010\t100000\t中国移动\tok\tmobile\n"},
        {"jsonl",
         "{\"line\":\"13800138000\",\"number\":\"13800138000\",\"province\":\"北京\","
         "\"city\":\"北京\",\"area_code\":\"010\",\"postcode\":\"100000\","
         "\"card_type\":\"中国移动\",\"status\":\"ok\",\"kind\":\"mobile\"}\n"
         "{\"line\":\"张三,+86 199 1234 5678\",\"number\":\"19912345678\",\"province\":\"未知\","
         "\"city\":\"未知\",\"area_code\":\"\",\"postcode\":\"\",\"card_type\":\"中国电信\","
         "\"status\":\"unknown-place\",\"kind\":\"mobile\"}\n"
         "{\"line\":\"\",\"number\":\"\",\"province\":\"\",\"city\":\"\",\"area_code\":\"\","
         "\"postcode\":\"\",\"card_type\":\"\",\"status\":\"bad-format\",\"kind\":\"\"}\n"
         "{\"line\":\"15400000000\",\"number\":\"15400000000\",\"province\":\"\",\"city\":\"\","
         "\"area_code\":\"\",\"postcode\":\"\",\"card_type\":\"\",\"status\":\"unassigned\","
         "\"kind\":\"mobile\"}\n"
         "{\"line\":\"a\\\"b,1380013800\",\"number\":\"\",\"province\":\"\",\"city\":\"\","
         "\"area_code\":\"\",\"postcode\":\"\",\"card_type\":\"\",\"status\":\"bad-format\","
         "\"kind\":\"\"}\n"
         "{\"line\":\"\\\"13800138000\\\"\",\"number\":\"13800138000\",\"province\":\"北京\","
         "\"city\":\"北京\",\"area_code\":\"010\",\"postcode\":\"100000\","
         "\"card_type\":\"中国移动\",\"status\":\"ok\",\"kind\":\"mobile\"}\n"
         "{\"line\":\"\\t13800138000\",\"number\":\"13800138000\",\"province\":\"北京\","
         "\"city\":\"北京\",\"area_code\":\"010\",\"postcode\":\"100000\","
         "\"card_type\":\"中国移动\",\"status\":\"ok\",\"kind\":\"mobile\"}\n"},
        // Code page 936: 北京 B1B1 BEA9, 中国移动 D6D0 B9FA D2C6 B6AF, 未知 CEB4 D6AA,
        // 中国电信 D6D0 B9FA B5E7 D0C5, 张三 D5C5 C8FD.
        {"fixed",
         "13800138000   13800138000   \xB1\xB1\xBE\xA9   \xB1\xB1\xBE\xA9   010   100000   "
         "\xD6\xD0\xB9\xFA\xD2\xC6\xB6\xAF   ok   mobile\r\n"
         "\xD5\xC5\xC8\xFD,+86 199 1234 5678   19912345678   \xCE\xB4\xD6\xAA   "
         "\xCE\xB4\xD6\xAA         \xD6\xD0\xB9\xFA\xB5\xE7\xD0\xC5   unknown-place   mobile\r\n"
         "                     bad-format   \r\n"
         "15400000000   15400000000                  unassigned   mobile\r\n"
         "a\"b,1380013800                     bad-format   \r\n"
         "\"13800138000\"   13800138000   \xB1\xB1\xBE\xA9   \xB1\xB1\xBE\xA9   010   100000   "
         "\xD6\xD0\xB9\xFA\xD2\xC6\xB6\xAF   ok   mobile\r\n"
         "\t13800138000   13800138000   \xB1\xB1\xBE\xA9   \xB1\xB1\xBE\xA9   010   100000   "
         "\xD6\xD0\xB9\xFA\xD2\xC6\xB6\xAF   ok   mobile\r\n"},
    };
    for (const Case& c : cases) {
        const ProgramRun run = Lookup({"--format", c.format, Path("list.txt")});
        EXPECT_EQ(run.status, 0) << c.format << run.err;
        EXPECT_EQ(run.out, c.bytes) << c.format;
        EXPECT_EQ(run.err,
                  "numtrail-lookup: 7 lines: 3 ok, 1 unknown-place, 1 unassigned, "
                  "2 bad-format (built-in data)\n")
            << c.format;
    }
}

// Lines and online answers that a spreadsheet would run as formulas are written as text in
// csv and tsv; an online answer's codes that are not digits are dropped.
TEST_F(LookupTest, CellsThatStartLikeAFormulaAreWrittenAsText) {
    test::StandInUpstream upstream([](const std::string& number) {
        return test::StandInUpstream::Attribution(number, "=1+1", "@SUM(A1)", "-1", "+1",
                                                  "中国电信");
    });
    const std::string list = "=1+1\n@SUM(1)\n-x\n19912345678\n";
    const std::pair<const char*, std::string> cases[] = {
        {"csv",
         "line,number,province,city,area_code,postcode,card_type,status,kind\r\n"
         "'=1+1,,,,,,,bad-format,\r\n"
         "'@SUM(1),,,,,,,bad-format,\r\n"
         "'-x,,,,,,,bad-format,\r\n"
         "19912345678,19912345678,'=1+1,'@SUM(A1),,,中国电信,ok,mobile\r\n"},
        {"tsv",
         "line\tnumber\tprovince\tcity\tarea_code\tpostcode\tcard_type\tstatus\tkind\n"
         "'=1+1\t\t\t\t\t\t\tbad-format\t\n"
         "'@SUM(1)\t\t\t\t\t\t\tbad-format\t\n"
         "'-x\t\t\t\t\t\t\tbad-format\t\n"
         "19912345678\t19912345678\t'=1+1\t'@SUM(A1)\t\t\t中国电信\tok\tmobile\n"},
    };
    for (const auto& [format, bytes] : cases) {
        const ProgramRun run = Lookup({"-q", "--format", format, "--upstream", upstream.Url(),
                                       "--cache", Path("c"), "--upstream-interval", "0", "-"},
                                      list);
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.out, bytes) << format;
    }
}

// The tab-separated fields of a row.
std::vector<std::string> Fields(const std::string& row) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (std::size_t end; (end = row.find('\t', start)) != std::string::npos; start = end + 1)
        fields.push_back(row.substr(start, end - start));
    fields.push_back(row.substr(start));
    return fields;
}

// Lines as lists hold them: a contacts export, chat copies, landlines and 400/800 numbers in
// their spellings, several numbers in a line, and digit runs that are no number.
struct MixedLine {
    const char* text;
    std::vector<std::string> numbers;  // "digits kind", in order
};
const MixedLine kMixedLines[] = {
    {"张伟,13800138000,北京市朝阳区", {"13800138000 mobile"}},
    {"手机：138 0013 8000 座机：010-62345678", {"13800138000 mobile", "01062345678 landline"}},
    {"TEL;TYPE=WORK:(0755)86001234", {"075586001234 landline"}},
    {"【联系人】王女士 +86 10 6234 5678", {"01062345678 landline"}},
    {"客服热线400-800-1234转2", {"4008001234 service"}},
    {"免费电话 800 810 8888", {"8008108888 service"}},
    {"13912345678/13800138000", {"13912345678 mobile", "13800138000 mobile"}},
    {"0898-66123456 海口", {"089866123456 landline"}},
    {"身份证 110105194912310021", {}},
    {"订单号 2026120813800138000", {}},
    {"1.38001E+10", {}},
    {"13800138x00", {}},
    {"12800138000", {}},
    {"", {}},
    {"VERSION:3.0", {}},
};

std::string MixedList() {
    std::string list;
    for (const MixedLine& line : kMixedLines) list += std::string(line.text) + "\r\n";
    return list;
}

// By default a row per line, about its first number; with --every-number a row per number found,
// headed by its line's number, and a row for a line without any. Landlines and 400/800 numbers
// are answered from local data like mobiles.
TEST_F(LookupTest, FirstOrEveryNumberOfEachLineWithItsKind) {
    const std::map<std::string, std::string> answers = {
        {"13800138000", "北京\t北京\t010\t100000\t中国移动\tok"},
        {"13912345678", "江苏\t常州\t0519\t213000\t中国移动\tok"},
        {"01062345678", "北京\t北京\t010\t100000\t固定电话\tok"},
        {"075586001234", "广东\t深圳\t0755\t518000\t固定电话\tok"},
        {"089866123456", "海南\t海南\t0898\t\t固定电话\tok"},  // the whole province dials 0898
        {"4008001234", "全国\t\t\t\t400电话\tok"},
        {"8008108888", "全国\t\t\t\t800电话\tok"},
        {"", "\t\t\t\t\tbad-format"},
    };
    // A row's number, its answer and its kind, as "digits answer kind".
    const auto row_of = [&answers](const std::string& number_and_kind) {
        const std::size_t blank = number_and_kind.find(' ');
        const std::string digits = number_and_kind.substr(0, blank);
        const std::string kind =
            blank == std::string::npos ? "" : number_and_kind.substr(blank + 1);
        EXPECT_TRUE(answers.contains(digits)) << digits;
        return digits + "\t" + answers.at(digits) + "\t" + kind;
    };
    std::vector<std::string> first_rows, every_rows;
    std::size_t numbers = 0;
    for (std::size_t i = 0; i < std::size(kMixedLines); ++i) {
        const MixedLine& line = kMixedLines[i];
        const std::string counted = std::to_string(i + 1) + "\t" + line.text + "\t";
        first_rows.push_back(std::string(line.text) + "\t" +
                             row_of(line.numbers.empty() ? "" : line.numbers[0]));
        for (const std::string& number : line.numbers)
            every_rows.push_back(counted + row_of(number));
        if (line.numbers.empty()) every_rows.push_back(counted + row_of(""));
        numbers += line.numbers.size();
    }

    const ProgramRun first = Lookup({"--format", "tsv", "-"}, MixedList());
    ASSERT_EQ(first.status, 0) << first.err;
    std::vector<std::string> rows = Lines(first.out);
    EXPECT_EQ(rows.front(),
              "line\tnumber\tprovince\tcity\tarea_code\tpostcode\tcard_type\tstatus\tkind");
    EXPECT_EQ(std::vector(rows.begin() + 1, rows.end()), first_rows);

    const ProgramRun every = Lookup({"--every-number", "--format", "tsv", "-"}, MixedList());
    ASSERT_EQ(every.status, 0) << every.err;
    rows = Lines(every.out);
    EXPECT_EQ(Fields(rows.front()).front(), "line_number");
    EXPECT_EQ(std::vector(rows.begin() + 1, rows.end()), every_rows);
    EXPECT_EQ(every.err, "numtrail-lookup: 15 lines, " + std::to_string(numbers) +
                             " numbers: " + std::to_string(numbers) +
                             " ok, 0 unknown-place, 0 unassigned; 7 lines without a number "
                             "(built-in data)\n");

    // The other formats carry the same line numbers and kinds.
    const ProgramRun jsonl = Lookup({"--every-number", "--format", "jsonl", "-"}, MixedList());
    const std::vector<std::string> objects = Lines(jsonl.out);
    ASSERT_EQ(objects.size(), every_rows.size());
    EXPECT_EQ(objects[2].substr(0, 16), "{\"line_number\":2");
    EXPECT_TRUE(objects[2].ends_with(",\"kind\":\"landline\"}")) << objects[2];
    const ProgramRun csv = Lookup({"--every-number", "-"}, MixedList());
    EXPECT_NE(
        csv.out.find("\r\n5,客服热线400-800-1234转2,4008001234,全国,,,,400电话,ok,service\r\n"),
        std::string::npos)
        << csv.out;
}

// The table format is the window's CSV export of the rows of every number found, byte for byte,
// also when it is written out in several blocks.
TEST_F(LookupTest, TableFormatIsTheWindowsCsvTable) {
    std::string list = MixedList() + "15400000000\n19912345678\n";
    while (list.size() < 600 * 1024) list += list;
    attribution::LocalAttributor local;
    std::vector<attribution::Record> rows;
    for (const std::string& line : Lines(list)) {
        NumberRecognizer::BuiltIn().ForEach(
            std::string_view(line).substr(0, line.find('\r')), [&](const FoundNumber& found) {
                rows.push_back(attribution::RowOf(found.number, local.Attribute(found.number)));
            });
    }
    const std::string expected = tables::CsvTable(tables::ResultTable(rows));
    EXPECT_TRUE(
        expected.starts_with("\xEF\xBB\xBF手机号码,所属省份,所属城市,区号,邮编,号码类型\r\n"));
    EXPECT_NE(expected.find("\r\n01062345678,北京,北京,010,100000,固定电话\r\n"),
              std::string::npos);
    EXPECT_NE(expected.find("\r\n4008001234,全国,,,,400电话\r\n"), std::string::npos);
    WriteFile(Path("list.txt"), list);
    for (const auto& arguments :
         {std::vector<std::string>{"-q", "--format", "table", Path("list.txt")},
          std::vector<std::string>{"-q", "--every-number", "--format=table", "-"}}) {
        const ProgramRun run = Lookup(arguments, list);
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_TRUE(run.out == expected) << run.out.size() << " bytes, not " << expected.size();
    }
    // A list without any number is the header alone.
    EXPECT_EQ(Lookup({"-q", "--format", "table", "-"}, "姓名\n1.38001E+10\n").out,
              tables::CsvTable(tables::ResultTable({})));
}

// Files are read in turn, standard input where "-" stands, each in its own encoding.
TEST_F(LookupTest, StandardInputAndSeveralFilesInTurn) {
    WriteFile(Path("gbk.txt"), "\xD5\xC5\xC8\xFD,13800138000\r\n");  // 张三 in code page 936
    WriteFile(Path("utf16.txt"), std::string("\xFF\xFE"
                                             "1\0"
                                             "5\0"
                                             "4\0",
                                             8));
    const ProgramRun run = Lookup({"-q", "--format=tsv", Path("gbk.txt"), "-", Path("utf16.txt")},
                                  "张三 19912345678\n");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(FirstFields(run.out),
              (std::vector<std::string>{"张三,13800138000", "张三 19912345678", "154"}));
}

// The encoding is chosen from the whole list, as the import chooses it, also where the first
// text that is not ASCII comes long after the start: past the first piece of a file, and past
// what standard input keeps in memory before it goes on to a temporary file.
TEST_F(LookupTest, EncodingIsChosenFromTheWholeList) {
    std::string list;
    while (list.size() < 9 * 1024 * 1024) list += "13800138000\r\n";
    list += "张三,13912345678\r\n";
    WriteFile(Path("list.txt"), list);
    for (const bool from_stdin : {false, true}) {
        const ProgramRun run = from_stdin ? Lookup({"--format", "tsv"}, list)
                                          : Lookup({"--format", "tsv", Path("list.txt")});
        ASSERT_EQ(run.status, 0) << run.err;
        const std::vector<std::string> rows = Lines(run.out);
        ASSERT_EQ(rows.size(), list.size() / 13 + 1);
        EXPECT_EQ(rows.back(),
                  "张三,13912345678\t13912345678\t江苏\t常州\t0519\t213000\t中国移动\tok\tmobile")
            << from_stdin;
    }
}

// Standard input in valid UTF-8 has its encoding chosen as it is read: no temporary file (there
// is no folder for one here), and memory bounded however much of it comes before the end.
TEST_F(LookupTest, StandardInputIsChosenAsItIsRead) {
    WriteLarge(Path("list.txt"), "", "张三,13800138000\n", 64 << 20, "");
    ::setenv("TMPDIR", Path("missing").c_str(), 1);
    const ProgramRun run = LookupPiped(Path("list.txt"), {"-o", "/dev/null", "-"});
    ::unsetenv("TMPDIR");
    ASSERT_EQ(run.status, 0) << run.err;
    const std::string lines = std::to_string(std::filesystem::file_size(Path("list.txt")) / 19);
    EXPECT_EQ(run.err.substr(0, run.err.find(',')),
              "numtrail-lookup: " + lines + " lines: " + lines + " ok");
    // The lines held while choosing take 8 MiB, twice that as their string grows, more under
    // the address sanitizer; the whole list would take 64 MiB and more.
    EXPECT_LT(ChildrenPeakMiB(), 96);
}

// A line past 64 KiB is one bad-format row, its text cut; an endless one is not held.
TEST_F(LookupTest, OverlongLineIsOneBadFormatRowCut) {
    WriteLarge(Path("list.txt"), "13800138000", " ", 128 << 20, "\n13912345678\n");
    const ProgramRun run = LookupPiped(Path("list.txt"), {"--format", "tsv", "-"});
    ASSERT_EQ(run.status, 0) << run.err;
    const std::vector<std::string> rows = Lines(run.out);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_TRUE(rows[1] ==
                "13800138000" + std::string(64 * 1024 - 11, ' ') + "\t\t\t\t\t\t\tbad-format\t")
        << rows[1].size();
    EXPECT_EQ(rows[2].substr(0, 23), "13912345678\t13912345678");
    EXPECT_LT(ChildrenPeakMiB(), 40);
}

// Workbooks and contacts files, from a file or standard input: a line for each row (its cells
// joined by tabs) or each phone number.
TEST_F(LookupTest, ReadsWorkbooksAndContacts) {
    const std::vector<test::WorkbookSheet> sheets = {
        {"名单", {{0, 0, std::string("手机")}, {1, 0, std::string("张三")}, {1, 1, 13800138000.0}}},
        {"Sheet2", {{1, 0, std::string("13912345678")}}},
    };
    ASSERT_TRUE(test::WriteXlsx(Path("list.xlsx"), sheets));
    ASSERT_TRUE(test::WriteXls(Path("list.xls"), sheets));
    WriteFile(Path("list.vcf"),
              "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:张三\r\nTEL;TYPE=CELL:+86 138 0013\r\n  8000\r\n"
              "TEL:13912345678\r\nEND:VCARD\r\n");
    const std::vector<std::string> rows = {"手机", "张三\\t13800138000", "", "13912345678"};
    const std::pair<const char*, std::vector<std::string>> cases[] = {
        {"list.xlsx", rows},
        {"list.xls", rows},
        {"list.vcf", {"'+86 138 0013 8000", "13912345678"}},  // as text, not a formula
    };
    for (const auto& [file, lines] : cases) {
        for (const bool from_stdin : {false, true}) {
            const ProgramRun run = from_stdin ? Lookup({"-q", "--format=tsv"}, ReadFile(Path(file)))
                                              : Lookup({"-q", "--format=tsv", Path(file)});
            ASSERT_EQ(run.status, 0) << file << run.err;
            EXPECT_EQ(FirstFields(run.out), lines) << file << " " << from_stdin;
            EXPECT_NE(run.out.find("\t13800138000\t北京"), std::string::npos) << file;
        }
    }
}

// A file that holds no list, or a workbook that cannot be read, ends the run with a message
// that names it, and no rows.
TEST_F(LookupTest, RefusedInputsNameTheFile) {
    WriteFile(Path("scan.pdf"), "%PDF-1.7\n");
    ASSERT_TRUE(test::WriteXlsx(Path("book.xlsx"), {{"A", {{0, 0, 13800138000.0}}}}));
    const std::string book = ReadFile(Path("book.xlsx"));
    WriteFile(Path("cut.xlsx"), book.substr(0, book.size() / 2));
    WriteFile(Path("list.txt"), "13800138000\n");
    struct Case {
        std::vector<std::string> arguments;
        std::string input;
        std::string message;
    };
    const Case cases[] = {
        {{Path("list.txt"), Path("scan.pdf")},
         "",
         Path("scan.pdf").string() + " holds no number list"},
        {{Path("cut.xlsx")}, "", Path("cut.xlsx").string() + " cannot be read as a workbook"},
        {{"-"}, book.substr(0, book.size() / 2), "standard input cannot be read as a workbook"},
        {{"-"}, std::string("\x89PNG\r\n\x1A\n\0\0", 10), "standard input holds no number list"},
    };
    for (const Case& c : cases) {
        const ProgramRun run = Lookup(c.arguments, c.input);
        EXPECT_EQ(run.status, 1) << c.message;
        EXPECT_EQ(run.out, "") << c.message;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    }
}

TEST_F(LookupTest, DataFileWinsAndIsFoundWhereTheServiceFindsIt) {
    attribution::testing::DataFileBuilder b;
    b.records = {"文件省|文件市|123456|0999", "江苏|常州||"};
    b.entries = {{1380013, 0, 3}, {1390519, 1, 1}};
    std::filesystem::create_directories(Path("Numtrail"));
    attribution::testing::WriteFile(Path("Numtrail") / "phone.dat", b.Build());
    const std::string expected =
        "13800138000\t13800138000\t文件省\t文件市\t0999\t123456\t中国电信\tok\tmobile\n"
        "13905191234\t13905191234\t江苏\t常州\t0519\t213000\t中国移动\tok\tmobile\n"
        "13800100000\t13800100000\t北京\t北京\t010\t100000\t中国移动\tok\tmobile\n";
    const std::string list = "13800138000\n13905191234\n13800100000\n";
    for (const auto& arguments :
         {std::vector<std::string>{"--format", "tsv"},
          std::vector<std::string>{"--format", "tsv", "--data", Path("Numtrail") / "phone.dat"}}) {
        const ProgramRun run = Lookup(arguments, list);
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.out.substr(run.out.find('\n') + 1), expected);
        EXPECT_NE(run.err.find("data file"), std::string::npos) << run.err;
    }
}

TEST_F(LookupTest, OutputFileIsReplacedOnlyWhenComplete) {
    WriteFile(Path("list.txt"), "13800138000\n");
    WriteFile(Path("out.csv"), "what was there");
    // A list that cannot be read leaves the file as it was.
    EXPECT_EQ(Lookup({"-o", Path("out.csv"), Path("list.txt"), Path("missing.txt")}).status, 1);
    EXPECT_EQ(ReadFile(Path("out.csv")), "what was there");
    // A list may be replaced by its own rows.
    const ProgramRun run = Lookup({"--format", "tsv", "-o", Path("list.txt"), Path("list.txt")});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(FirstFields(ReadFile(Path("list.txt"))), std::vector<std::string>{"13800138000"});
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Dir()), {}), 2);  // no leftovers
}

// Prefixes the local data does not place are asked online once each, and kept in a cache that
// the next run reads; a refusal leaves the local answer and the summary says so.
TEST_F(LookupTest, UpstreamAnswersWhatLocalDataDoesNotPlaceOncePerPrefix) {
    std::atomic<bool> refuse = false;
    test::StandInUpstream upstream([&refuse](const std::string& number) {
        return refuse ? test::StandInUpstream::Refusal()
                      : test::StandInUpstream::Attribution(number, "江苏", "常州", "0519", "213000",
                                                           "中国电信");
    });
    const std::vector<std::string> arguments = {
        "--format", "tsv",     "--upstream",          upstream.Url(),
        "--cache",  Path("c"), "--upstream-interval", "0",
        "-"};
    // A landline is answered from local data, never asked about.
    const std::string list = "19912345678\n13800138000\n19912340000\n010-62345678\n";
    const ProgramRun first = Lookup(arguments, list);
    ASSERT_EQ(first.status, 0) << first.err;
    const std::vector<std::string> rows = Lines(first.out);
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_TRUE(rows[4].ends_with("\t北京\t北京\t010\t100000\t固定电话\tok\tlandline")) << rows[4];
    EXPECT_NE(rows[1].find("\t江苏\t常州\t0519\t213000\t中国电信\tok"), std::string::npos);
    EXPECT_NE(rows[2].find("\t北京\t"), std::string::npos);
    EXPECT_NE(rows[3].find("\t江苏\t常州\t"), std::string::npos);
    EXPECT_EQ(upstream.Requests().size(), 1u);

    EXPECT_EQ(Lookup(arguments, list).out, first.out);  // from the cache
    EXPECT_EQ(upstream.Requests().size(), 1u);

    refuse = true;
    const ProgramRun refused = Lookup(arguments, "19812345678\n");
    EXPECT_EQ(refused.status, 0);
    EXPECT_NE(refused.out.find("unknown-place"), std::string::npos);
    EXPECT_NE(refused.err.find("1 refused"), std::string::npos) << refused.err;

    // The online side is a program of its own; without it the run fails before any row.
    std::filesystem::copy_file(NUMTRAIL_LOOKUP_PROGRAM, Path("numtrail-lookup"));
    const ProgramRun alone = test::RunProgram(Path("numtrail-lookup"), arguments, list);
    EXPECT_EQ(alone.status, 1);
    EXPECT_EQ(alone.out, "");
    EXPECT_NE(alone.err.find("numtrail-lookup-online"), std::string::npos) << alone.err;
}

// A pipe or a device named as the output is written into, not replaced by a file.
TEST_F(LookupTest, APipeNamedAsTheOutputIsWrittenInto) {
    WriteFile(Path("list.txt"), "13800138000\n");
    const test::NamedPipe pipe(Path("rows"));
    EXPECT_EQ(Lookup({"-q", "-o", Path("rows"), Path("list.txt")}).status, 0);
    EXPECT_TRUE(pipe.StillAPipe());
    EXPECT_NE(pipe.Read().find("13800138000,13800138000,"), std::string::npos);
}

TEST_F(LookupTest, ExitStatusAndWhereTheMessageGoes) {
    WriteFile(Path("list.txt"), "13800138000\n");
    const std::string list = Path("list.txt");
    const std::string version = std::string("numtrail-lookup ") + product::kVersion + "\n";
    test::ExpectRuns(NUMTRAIL_LOOKUP_PROGRAM,
                     {
                         {{"--help"}, 0, "Usage: numtrail-lookup", ""},
                         {{"--version"}, 0, version.c_str(), ""},
                         {{"--quiet", "--format=jsonl", list}, 0, "{\"line\":\"13800138000\"", ""},
                         {{"--bogus", list}, 2, nullptr, "--bogus"},
                         {{"--format", "xml", list}, 2, nullptr, "xml"},
                         {{"--format"}, 2, nullptr, "--format"},
                         {{"-o"}, 2, nullptr, "--output"},
                         {{list, "missing.txt"}, 1, nullptr, "missing.txt"},
                         {{Dir().string()}, 1, nullptr, Dir().c_str()},
                         {{"--data", "missing.dat", list}, 1, nullptr, "missing.dat"},
                         {{"-o", "/nonexistent/out.csv", list}, 1, nullptr, "/nonexistent/out.csv"},
                         {{"--", "--quiet"}, 1, nullptr, "--quiet"},  // a file, after "--"
                         // a device is written into, not replaced by a file
                         {{"-q", "-o", "/dev/stdout", list}, 0, "13800138000,13800138000,", ""},
                         {{"--upstream", "ftp://127.0.0.1/q", list}, 2, nullptr, "--upstream"},
                         {{"--cache-days", "3", list}, 2, nullptr, "--upstream"},
                     });
    // A failed write to standard output is a failure too.
    const ProgramRun full = test::RunProgram(
        "/bin/sh", {"-c", "exec \"$0\" \"$1\" >/dev/full", NUMTRAIL_LOOKUP_PROGRAM, list});
    EXPECT_EQ(full.status, 1);
    EXPECT_NE(full.err.find("standard output"), std::string::npos) << full.err;
}

}  // namespace
}  // namespace numtrail
