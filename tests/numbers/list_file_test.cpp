#include "numbers/list_file.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "numbers/list_text.h"
#include "numbers/vcard.h"
#include "numbers/workbook.h"
#include "support/scratch_dir.h"
#include "support/workbooks.h"

namespace numtrail {
namespace {

using Why = ListFileRefusal::Why;
using test::WorkbookCell;
using test::WorkbookSheet;

struct Read {
    std::vector<std::string> lines;  // a line given cut ends in "<cut>"
    std::optional<ListFileRefusal> refusal;
};

Read ReadAll(std::string_view bytes) {
    Read read;
    read.refusal = ReadListFile(bytes, [&read](std::string_view line, bool cut) {
        read.lines.emplace_back(line);
        if (cut) read.lines.back() += "<cut>";
    });
    return read;
}

// Sheets with what lists hold: a header row, numbers stored as numbers and as text in several
// columns, an empty row, leading and inner empty cells, text that holds a tab and a line end,
// numbers that are no phone numbers, a second sheet.
const std::vector<WorkbookSheet> kSheets = {
    {"名单",
     {{0, 0, std::string("姓名")},
      {0, 1, std::string("手机")},
      {0, 2, std::string("备注")},
      {1, 0, std::string("张三")},
      {1, 1, 13800138000.0},
      {1, 2, std::string("13912345678")},
      {3, 2, 15012345678.0},
      {4, 0, std::string("a\tb\nc")},
      {4, 1, 1.5},
      {4, 3, -7.0}}},
    {"Sheet2", {{0, 0, 18612345678.0}, {1, 1, std::string("19912345678")}}},
};
const std::vector<std::string> kSheetLines = {"姓名\t手机\t备注",
                                              "张三\t13800138000\t13912345678",
                                              "",
                                              "\t\t15012345678",
                                              "a b c\t1.5\t\t-7",
                                              "18612345678",
                                              "\t19912345678"};

class ListFileTest : public test::ScratchDirTest {
  protected:
    // The bytes of a workbook made by the named writer.
    std::string Workbook(const std::string& writer, const std::vector<WorkbookSheet>& sheets) {
        const std::string path = Path("book");
        bool written = false;
        if (writer == "xls")
            written = test::WriteXls(path, sheets);
        else
            written = test::WriteXlsx(path, sheets, writer != "xlsx", writer == "xlsx zip64");
        EXPECT_TRUE(written) << writer;
        return test::ReadFile(path);
    }

    std::string Zip(const std::vector<std::pair<std::string, std::string>>& entries) {
        EXPECT_TRUE(test::WriteZip(Path("parts.zip"), entries));
        return test::ReadFile(Path("parts.zip"));
    }

    // A workbook written by hand: one sheet, shared strings if any, and further entries.
    std::string HandWorkbook(const std::string& sheet, const std::string& shared = {},
                             std::vector<std::pair<std::string, std::string>> more = {}) {
        more.emplace_back("_rels/.rels", kRootRelationships);
        more.emplace_back(
            "xl/workbook.xml",
            "<workbook><sheets><sheet name=\"A\" r:id=\"rId1\"/></sheets></workbook>");
        more.emplace_back("xl/_rels/workbook.xml.rels", kWorkbookRelationships);
        more.emplace_back("xl/worksheets/sheet1.xml", sheet);
        if (!shared.empty()) more.emplace_back("xl/sharedStrings.xml", shared);
        return Zip(more);
    }

    static constexpr const char* kRootRelationships =
        "<Relationships><Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/"
        "officeDocument/2006/relationships/officeDocument\" Target=\"xl/workbook.xml\"/>"
        "</Relationships>";
    static constexpr const char* kWorkbookRelationships =
        "<Relationships><Relationship Id=\"rId1\" Type=\"http://x/worksheet\" "
        "Target=\"worksheets/sheet1.xml\"/><Relationship Id=\"rId2\" "
        "Type=\"http://x/sharedStrings\" Target=\"sharedStrings.xml\"/></Relationships>";
};

TEST_F(ListFileTest, WorkbooksGiveEveryRowOfEverySheet) {
    for (const std::string writer : {"xlsx", "xlsx inline", "xlsx zip64", "xls"}) {
        const Read read = ReadAll(Workbook(writer, kSheets));
        ASSERT_FALSE(read.refusal) << writer << ": " << read.refusal->detail;
        EXPECT_EQ(read.lines, kSheetLines) << writer;
    }
}

// What other writers put in a workbook: namespace prefixes, sheets in another order than their
// files, absolute targets, rich and phonetic text, inline strings, rows and cells without their
// numbers or out of order, a formula's text, booleans, a shared string that is not there.
TEST_F(ListFileTest, XlsxAsOtherWritersWriteIt) {
    const std::string sheet_b =
        "<x:worksheet xmlns:x=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
        "<x:sheetData><x:row r=\"2\"><x:c r=\"B2\" t=\"s\"><x:v>0</x:v></x:c>"
        "<x:c r=\"D2\" t=\"s\"><x:v>1</x:v></x:c></x:row>"
        "<x:row r=\"3\"><x:c r=\"A3\" t=\"inlineStr\"><x:is><x:t>李四</x:t></x:is></x:c>"
        "<x:c r=\"B3\"><x:v>1.3912345678E10</x:v></x:c><x:c r=\"C3\" t=\"b\"><x:v>1</x:v></x:c>"
        "<x:c r=\"D3\" t=\"str\"><x:f>A1</x:f><x:v>=f</x:v></x:c>"
        "<x:c r=\"E3\" t=\"s\"><x:v>99</x:v></x:c></x:row>"
        "<x:row r=\"1\"><x:c r=\"A1\"><x:v>1</x:v></x:c></x:row></x:sheetData></x:worksheet>";
    const std::string sheet_a =
        "<worksheet><sheetData><row><c t=\"s\"><v>2</v></c><c><v>15012345678</v></c>"
        "<c r=\"A1\"><v>3</v></c></row></sheetData></worksheet>";
    const std::string shared =
        "<sst><si><t>张三</t></si><si><r><t>138</t></r><r><rPr/><t xml:space=\"preserve\">"
        "0013 8000</t></r><rPh><t>ignored</t></rPh></si><si><t>a&amp;b</t></si></sst>";
    const Read read = ReadAll(Zip({
        {"_rels/.rels",
         "<Relationships><Relationship Id=\"r\" Type=\"http://x/officeDocument\" "
         "Target=\"/xl/workbook.xml\"/></Relationships>"},
        {"xl/workbook.xml",
         "<x:workbook xmlns:x=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
         "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">"
         "<x:sheets><x:sheet name=\"B\" r:id=\"rId2\"/><x:sheet name=\"A\" r:id=\"rId1\"/>"
         "</x:sheets></x:workbook>"},
        {"xl/_rels/workbook.xml.rels",
         "<Relationships><Relationship Id=\"rId1\" Type=\"http://x/worksheet\" "
         "Target=\"worksheets/sheet1.xml\"/><Relationship Id=\"rId2\" Type=\"http://x/worksheet\" "
         "Target=\"/xl/worksheets/sheet2.xml\"/><Relationship Id=\"rId3\" "
         "Type=\"http://x/sharedStrings\" Target=\"sharedStrings.xml\"/></Relationships>"},
        {"xl/worksheets/sheet1.xml", sheet_a},
        {"xl/worksheets/sheet2.xml", sheet_b},
        {"xl/SharedStrings.xml", shared},
    }));
    ASSERT_FALSE(read.refusal) << read.refusal->detail;
    EXPECT_EQ(read.lines,
              (std::vector<std::string>{"", "\t张三\t\t1380013 8000", "李四\t13912345678\tTRUE\t=f",
                                        "1", "a&b\t15012345678\t3"}));
}

TEST_F(ListFileTest, NumberCellText) {
    const std::pair<const char*, const char*> cases[] = {
        {"13800138000", "13800138000"},
        {"1.3800138E10", "13800138000"},
        {"1.38E+10", "13800000000"},
        {"13800138000.0", "13800138000"},
        {"0", "0"},
        {"-7", "-7"},
        {"1.5", "1.5"},
        {"12.50", "12.50"},
        {"1E-2", "1E-2"},
        {"1E30", "1E30"},
        {"110105194912310021", "110105194912310021"},
        {"abc", "abc"},
        {"", ""},
        {"1e", "1e"},
    };
    for (const auto& [stored, text] : cases) EXPECT_EQ(NumberCellText(stored), text) << stored;
}

// Files that hold no list, workbooks cut short or damaged, and workbooks made to exhaust
// memory, each refused with what it is.
TEST_F(ListFileTest, Refusals) {
    std::string xls = Workbook("xls", kSheets);
    std::string no_workbook_ole = xls;
    const std::string stream("W\0o\0r\0k\0b\0o\0o\0k\0", 16);
    ASSERT_NE(no_workbook_ole.find(stream), std::string::npos);
    no_workbook_ole.replace(no_workbook_ole.find(stream), stream.size(),
                            std::string("D\0o\0c\0u\0m\0e\0n\0t\0", 16));
    // A directory entry whose name says it is longer than an entry: the library would read it
    // past its buffer.
    std::string long_name = xls;
    long_name[long_name.find(stream) + 0x40] = '\x7F';
    // An .xls whose sheets declare 65,536 rows of 256 columns: the library would take 0.5 GB.
    std::string huge_xls = xls;
    for (std::size_t at = 0;
         (at = huge_xls.find(std::string("\x00\x02\x0E\x00", 4), at)) != std::string::npos;
         at += 4) {
        huge_xls.replace(at + 8, 4, std::string("\x00\x00\x01\x00", 4));
        huge_xls.replace(at + 14, 2, std::string("\x00\x01", 2));
    }
    const std::string xlsx = Workbook("xlsx", kSheets);
    std::string damaged_xlsx = xlsx;
    const std::size_t sheet = damaged_xlsx.find("xl/worksheets/sheet1.xml");
    for (std::size_t i = sheet + 40; i < sheet + 60; ++i) damaged_xlsx[i] = '\x55';
    std::string bomb_sheet = "<worksheet><sheetData>";
    bomb_sheet.append(20 << 20, ' ');
    bomb_sheet += "</sheetData></worksheet>";
    const std::string bomb = HandWorkbook(bomb_sheet);
    const std::string doctype = HandWorkbook(
        "<!DOCTYPE w [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;\">]>"
        "<worksheet><sheetData><row><c t=\"inlineStr\"><is><t>&b;</t></is></c></row>"
        "</sheetData></worksheet>");
    std::string deep;
    for (int i = 0; i < 100; ++i) deep += "<a>";
    for (int i = 0; i < 100; ++i) deep += "</a>";
    struct Case {
        const char* what;
        std::string bytes;
        Why why;
        const char* detail;
    };
    const Case cases[] = {
        {"PDF", "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n1 0 obj", Why::NoList, "a PDF document"},
        {"PNG", std::string("\x89PNG\r\n\x1A\n\0\0\0\x0DIHDR", 16), Why::NoList, "picture"},
        {"JPEG", "\xFF\xD8\xFF\xE0", Why::NoList, "picture"},
        {"binary", std::string("\x01\x02\x00\x03 13800138000", 16), Why::NoList, "binary"},
        {"zip", Zip({{"readme.txt", "13800138000"}}), Why::NoList, "zip archive"},
        {"Word", Zip({{"word/document.xml", "<w:document/>"}}), Why::NoList, "Word"},
        {"OLE", no_workbook_ole, Why::NoList, "no workbook"},
        {"cut xlsx", xlsx.substr(0, xlsx.size() / 2), Why::Damaged, "cut short"},
        {"cut xls", xls.substr(0, xls.size() / 2), Why::Damaged, "cut short"},
        {"damaged xlsx", damaged_xlsx, Why::Damaged, "sheet1.xml"},
        {"zip bomb", bomb, Why::TooLarge, "times its packed size"},
        {"huge xls", huge_xls, Why::TooLarge, "cells"},
        {"long name", long_name, Why::Damaged, "records are damaged"},
        {"entities", doctype, Why::Damaged, "document type"},
        {"nesting", HandWorkbook(deep), Why::Damaged, "nests"},
        {"no XML", HandWorkbook("<worksheet><row>"), Why::Damaged, "no well-formed XML"},
    };
    for (const Case& c : cases) {
        const Read read = ReadAll(c.bytes);
        ASSERT_TRUE(read.refusal) << c.what;
        EXPECT_EQ(read.refusal->why, c.why) << c.what << ": " << read.refusal->detail;
        EXPECT_NE(read.refusal->detail.find(c.detail), std::string::npos)
            << c.what << ": " << read.refusal->detail;
        EXPECT_EQ(read.refusal->Message("list.x").find("list.x "), 0u) << c.what;
    }
}

// Each bound on what a workbook may make us unpack or hold refuses it when passed.
TEST_F(ListFileTest, WorkbookLimits) {
    const std::string xlsx = Workbook("xlsx", kSheets);
    const std::string xls = Workbook("xls", kSheets);
    struct Case {
        const char* what;
        WorkbookLimits limits;
        ListFileKind kind;
    };
    std::vector<Case> cases(7, {"", {}, ListFileKind::Xlsx});
    cases[0].what = "entries", cases[0].limits.entries = 5;
    cases[1].what = "part", cases[1].limits.part_bytes = 300;
    cases[2].what = "total", cases[2].limits.total_bytes = 2000;
    cases[3].what = "strings", cases[3].limits.shared_strings = 4;
    cases[4].what = "string bytes", cases[4].limits.shared_string_bytes = 20;
    cases[6].what = "rows left out", cases[6].limits.rows_left_out = 0;  // row 3 is empty
    cases[5] = {"cells", {}, ListFileKind::Xls};
    cases[5].limits.xls_cells = 23;  // the sheets declare 5 by 4 and 2 by 2
    // Refused when opened, or on the way.
    const auto read = [](ListFileKind kind, std::string_view bytes, const WorkbookLimits& limits) {
        ListFileRefusal refusal;
        const auto reader = WorkbookReader::Open(kind, bytes, refusal, limits);
        if (!reader) return std::optional(refusal);
        for (std::string_view piece = "x"; !piece.empty();)
            if (!reader->Next(piece, refusal)) return std::optional(refusal);
        return std::optional<ListFileRefusal>();
    };
    for (const Case& c : cases) {
        const auto refusal =
            read(c.kind, c.kind == ListFileKind::Xls ? std::string_view(xls) : xlsx, c.limits);
        ASSERT_TRUE(refusal) << c.what;
        EXPECT_EQ(refusal->why, Why::TooLarge) << c.what << ": " << refusal->detail;
    }
    EXPECT_FALSE(read(ListFileKind::Xlsx, xlsx, {.rows_left_out = 1}));
    EXPECT_FALSE(read(ListFileKind::Xls, xls, {.xls_cells = 24}));
}

// The children this process has, from every thread's list.
std::vector<pid_t> Children() {
    std::vector<pid_t> children;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        std::ifstream in(task.path() / "children");
        for (pid_t pid = 0; in >> pid;) children.push_back(pid);
    }
    return children;
}

// An .xls is read in a process of its own, for the library's faults on damaged files to stay
// there: a reader that dies on the way refuses the workbook as damaged, and none is left
// behind.
TEST_F(ListFileTest, OldWorkbookWhoseReaderDiesIsRefused) {
    WorkbookSheet sheet{"名单", {}};
    for (int row = 0; row < 20000; ++row)  // more text than a pipe holds
        sheet.cells.push_back({row, 0, 13800000000.0 + row});
    const std::string xls = Workbook("xls", {sheet});
    ListFileRefusal refusal;
    auto reader = WorkbookReader::Open(ListFileKind::Xls, xls, refusal);
    ASSERT_TRUE(reader) << refusal.detail;
    std::string_view piece;
    ASSERT_TRUE(reader->Next(piece, refusal));
    EXPECT_EQ(piece.substr(0, 12), "13800000000\n");
    const std::vector<pid_t> children = Children();
    ASSERT_EQ(children.size(), 1u);
    ::kill(children[0], SIGKILL);
    while (reader->Next(piece, refusal) && !piece.empty()) {
    }
    EXPECT_TRUE(piece.empty());
    EXPECT_EQ(refusal.why, Why::Damaged);
    EXPECT_NE(refusal.detail.find("stopped"), std::string::npos) << refusal.detail;

    // Read whole, or left half read: the process is gone with the reader.
    reader = WorkbookReader::Open(ListFileKind::Xls, xls, refusal);
    ASSERT_TRUE(reader && reader->Next(piece, refusal));
    reader.reset();
    EXPECT_TRUE(Children().empty());
    EXPECT_EQ(ReadAll(xls).lines.size(), 20000u);
    EXPECT_TRUE(Children().empty());
}

// A workbook cut anywhere is refused, never read as what it holds up to there.
TEST_F(ListFileTest, WorkbookCutAnywhereIsRefused) {
    const std::string xlsx = Workbook("xlsx", kSheets);
    for (std::size_t size = 4; size < xlsx.size(); size += 61) {
        const Read read = ReadAll(xlsx.substr(0, size));
        EXPECT_TRUE(read.refusal) << size;
    }
}

TEST_F(ListFileTest, ContactsGiveTheirPhoneNumbers) {
    const std::string vcf =
        "BEGIN:VCARD\r\nVERSION:2.1\r\n"
        "N;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:=E5=BC=A0=E4=B8=89;;;\r\n"
        "TEL;CELL:13800138000\r\n"
        "TEL;HOME;ENCODING=QUOTED-PRINTABLE:+86=20138=\r\n-0013-8001\r\n"
        "TEL;CHARSET=GB2312;ENCODING=QUOTED-PRINTABLE:=CA=D6=BB=FA13800138003\r\n"
        "PHOTO;ENCODING=BASE64;TYPE=JPEG:/9j/4AAQSkZJRgABAQAAAQABAAD\r\n"
        " /2wBDAAMCAgICAgMCAgIDAwMDBAYEBAQEBAgGBgUGCQgKCgkICQkKDA8MCgsOCwkJDRENDg8Q\r\n"
        "\r\n"
        "END:VCARD\r\n"
        "BEGIN:VCARD\nVERSION:3.0\nFN:李四\n"
        "item1.TEL;type=CELL:+86 139 1234\n 5678\n"
        "tel;TYPE=work:tel:+86-10-6234-5678\\;ext=8\n"
        "NOTE:TEL:10086\n"
        "END:VCARD\n"
        "BEGIN:VCARD\rVERSION:4.0\rTEL;VALUE=uri;TYPE=\"voice,cell\":tel:+86-138-0013-8002\r"
        "TEL;TYPE=cell:\rEND:VCARD";
    const std::vector<std::string> numbers = {"13800138000",
                                              "+86 138-0013-8001",
                                              "手机13800138003",
                                              "+86 139 12345678",
                                              "+86-10-6234-5678;ext=8",
                                              "+86-138-0013-8002",
                                              ""};
    EXPECT_EQ(ReadAll(vcf).lines, numbers);
    std::u16string utf16 = u"\uFEFFBEGIN:VCARD\r\nTEL:+86 138 0013 8000\r\nEND:VCARD\r\n";
    EXPECT_EQ(
        ReadAll(std::string(reinterpret_cast<const char*>(utf16.data()), 2 * utf16.size())).lines,
        std::vector<std::string>{"+86 138 0013 8000"});
    // In pieces, the same lines wherever the pieces end.
    for (std::size_t split = 0; split <= vcf.size(); ++split) {
        VcardReader reader;
        std::string text;
        reader.Add(std::string_view(vcf).substr(0, split), text);
        reader.Add(std::string_view(vcf).substr(split), text);
        reader.Finish(text);
        std::string whole;
        for (const std::string& number : numbers) whole += number + "\n";
        EXPECT_EQ(text, whole) << split;
    }
}

// Text files read as they always were, empty lines included; a long row or value is cut.
TEST_F(ListFileTest, TextAndOverlongLines) {
    const std::string text = "\xD5\xC5\xC8\xFD,13800138000\r\n\r\n139";
    std::vector<std::string> lines;
    ListLineCutter cutter(ChooseListEncoding(text));
    const auto keep = [&lines](std::string_view line) { lines.emplace_back(line); };
    cutter.Add(text, keep);
    cutter.Finish(keep);
    EXPECT_EQ(ReadAll(text).lines, lines);

    // A cell holds at most 32,767 characters: three make a row longer than a line may be.
    const std::string cell(30000, '8');
    const Read row = ReadAll(Workbook(
        "xlsx", {{"A", {{0, 0, cell}, {0, 1, cell}, {0, 2, cell}, {0, 3, 1.0}, {1, 0, 2.0}}}}));
    ASSERT_EQ(row.lines.size(), 2u);
    EXPECT_EQ(row.lines[0], (cell + "\t" + cell + "\t" + cell).substr(0, kMaxListLine) + "<cut>");
    EXPECT_EQ(row.lines[1], "2");
    const std::string long_text(kMaxListLine + 10, '8');
    const Read value = ReadAll("BEGIN:VCARD\nTEL:" + long_text + "\nTEL:1\nEND:VCARD\n");
    EXPECT_EQ(value.lines,
              (std::vector<std::string>{long_text.substr(0, kMaxListLine) + "<cut>", "1"}));
}

}  // namespace
}  // namespace numtrail
