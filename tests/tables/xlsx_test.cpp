// The workbook is read back the way a spreadsheet reads it: unpacked, then its XML parts.
#include "tables/xlsx.h"

#include <gtest/gtest.h>

#include <QMap>
#include <QSet>
#include <QXmlStreamReader>

#include "support/run_program.h"
#include "support/scratch_dir.h"

namespace numtrail::tables {
namespace {

struct Cell {
    QString type;  // the t attribute: inlineStr or s for text
    QString value;
    int style = 0;
};

class XlsxExportTest : public test::ScratchDirTest {
  protected:
    void Write(const std::string& bytes) { test::WriteFile(Path("book.xlsx"), bytes); }
    // A workbook of rows given as Qt lists, the header first.
    static std::optional<std::string> Book(const QStringList& header,
                                           const QList<QStringList>& rows, std::string* error,
                                           std::size_t rows_per_sheet = kXlsxRowsPerSheet) {
        std::vector<std::string> texts;
        for (const QString& cell : header) texts.push_back(cell.toStdString());
        for (const QStringList& row : rows)
            for (const QString& cell : row) texts.push_back(cell.toStdString());
        Table table;
        table.header.assign(texts.begin(), texts.begin() + header.size());
        table.rows = static_cast<std::size_t>(rows.size());
        std::vector<std::size_t> starts{static_cast<std::size_t>(header.size())};
        for (const QStringList& row : rows)
            starts.push_back(starts.back() + static_cast<std::size_t>(row.size()));
        table.cells = [texts, starts](std::size_t r, std::vector<std::string_view>& cells) {
            for (std::size_t i = starts[r]; i < starts[r + 1]; ++i) cells.push_back(texts[i]);
        };
        return XlsxWorkbook(table, error, rows_per_sheet);
    }
    // One part of the workbook; empty when it has none of that name.
    QString Part(const std::string& name) const {
        const test::ProgramRun run =
            test::RunProgram("/usr/bin/unzip", {"-p", Path("book.xlsx").string(), name});
        return run.status == 0 ? QString::fromStdString(run.out) : QString();
    }

    // The sheet's cells by reference ("B2"), shared strings looked up.
    QMap<QString, Cell> Cells(int sheet) const {
        QStringList shared;
        QXmlStreamReader strings(Part("xl/sharedStrings.xml"));
        while (strings.readNextStartElement() || !strings.atEnd())
            if (strings.isStartElement() && strings.name() == u"t")
                shared << strings.readElementText();
        QMap<QString, Cell> cells;
        QXmlStreamReader xml(Part("xl/worksheets/sheet" + std::to_string(sheet) + ".xml"));
        QString ref;
        while (!xml.atEnd()) {
            xml.readNext();
            if (!xml.isStartElement()) continue;
            if (xml.name() == u"c") {
                ref = xml.attributes().value("r").toString();
                cells[ref] = {xml.attributes().value("t").toString(),
                              {},
                              xml.attributes().value("s").toInt()};
            } else if (xml.name() == u"t" || xml.name() == u"v") {
                const QString text = xml.readElementText();
                cells[ref].value = cells[ref].type == u"s" ? shared.value(text.toInt()) : text;
            }
        }
        return cells;
    }

    // The attributes of the sheet's first element of that name (pane, col...), in order.
    QList<QXmlStreamAttributes> Elements(int sheet, const QString& name) const {
        QList<QXmlStreamAttributes> found;
        QXmlStreamReader xml(Part("xl/worksheets/sheet" + std::to_string(sheet) + ".xml"));
        while (!xml.atEnd())
            if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == name)
                found << xml.attributes();
        return found;
    }

    // The cell formats (by index) whose font is bold.
    QSet<int> BoldFormats() const {
        QXmlStreamReader xml(Part("xl/styles.xml"));
        QList<bool> bold_fonts;
        QList<int> format_fonts;
        bool in_cell_formats = false;
        while (!xml.atEnd()) {
            xml.readNext();
            if (xml.isEndElement() && xml.name() == u"cellXfs") in_cell_formats = false;
            if (!xml.isStartElement()) continue;
            if (xml.name() == u"font") bold_fonts << false;
            if (xml.name() == u"b" && !bold_fonts.isEmpty()) bold_fonts.last() = true;
            if (xml.name() == u"cellXfs") in_cell_formats = true;
            if (in_cell_formats && xml.name() == u"xf")
                format_fonts << xml.attributes().value("fontId").toInt();
        }
        QSet<int> bold;
        for (int i = 0; i < format_fonts.size(); ++i)
            if (bold_fonts.value(format_fonts[i])) bold << i;
        return bold;
    }
};

TEST_F(XlsxExportTest, EveryCellIsTextUnderABoldFrozenHeader) {
    const QStringList header = {"手机号码", "区号", "所属城市"};
    const QList<QStringList> rows = {{"13800138000", "010", "北京"},
                                     {"13912345678", "0519", "常州市武进区湖塘镇某某街道"},
                                     {"1e5", "=1+1", ""}};
    std::string error;
    const std::optional<std::string> bytes = Book(header, rows, &error);
    ASSERT_TRUE(bytes) << error;
    Write(*bytes);

    const QMap<QString, Cell> cells = Cells(1);
    const QSet<int> bold = BoldFormats();
    const QString columns = "ABC";
    for (int r = 0; r <= rows.size(); ++r) {
        const QStringList& expected = r == 0 ? header : rows[r - 1];
        for (int c = 0; c < 3; ++c) {
            const QString ref = columns[c] + QString::number(r + 1);
            const Cell cell = cells.value(ref);
            EXPECT_EQ(cell.value, expected[c]) << ref.toStdString();
            if (!expected[c].isEmpty()) {
                EXPECT_TRUE(cell.type == u"inlineStr" || cell.type == u"s") << ref.toStdString();
            }
            EXPECT_EQ(bold.contains(cell.style), r == 0) << ref.toStdString();
        }
    }

    const QList<QXmlStreamAttributes> pane = Elements(1, "pane");
    ASSERT_EQ(pane.size(), 1);
    EXPECT_EQ(pane[0].value("state"), u"frozen");
    EXPECT_EQ(pane[0].value("ySplit"), u"1");
    // Fitted widths: the long city is wider than the number, the number wider than 区号.
    QMap<int, double> widths;
    for (const QXmlStreamAttributes& col : Elements(1, "col"))
        widths[col.value("min").toInt()] = col.value("width").toDouble();
    EXPECT_GT(widths[3], widths[1]);
    EXPECT_GT(widths[1], widths[2]);
}

TEST_F(XlsxExportTest, RowsBeyondASheetContinueOnTheNextWithTheHeader) {
    std::string error;
    const std::optional<std::string> bytes =
        Book({"手机号码"}, {{"1"}, {"2"}, {"3"}, {"4"}, {"5"}}, &error, 2);
    ASSERT_TRUE(bytes) << error;
    Write(*bytes);
    for (int sheet = 1; sheet <= 3; ++sheet) {
        const QMap<QString, Cell> cells = Cells(sheet);
        EXPECT_EQ(cells.value("A1").value, QStringLiteral("手机号码"));
        EXPECT_EQ(cells.value("A2").value, QString::number(2 * sheet - 1));
    }
    EXPECT_EQ(Cells(3).value("A3").value, QString());
    EXPECT_TRUE(Part("xl/worksheets/sheet4.xml").isEmpty());
}

}  // namespace
}  // namespace numtrail::tables
