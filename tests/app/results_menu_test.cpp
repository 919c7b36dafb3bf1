#include <QAction>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QtCharts/QAbstractBarSeries>
#include <QtCharts/QBarSet>
#include <QtCharts/QChartView>
#include <QtCharts/QPieSeries>

#include "app/form1_fixture.h"
#include "results/clipboard_block.h"
#include "support/result_row.h"

namespace numtrail::test {
namespace {

const QString kTitle = QStringLiteral("Quorvel系列软件");

QByteArray ReadRaw(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void WriteRaw(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

class ResultsMenuTest : public Form1Test {
  protected:
    void Trigger(const char* item) {
        Find<QMenu>("menu")->findChild<QAction*>(QString::fromLatin1(item))->trigger();
    }

    // A result row as a lookup leaves it: inserted at the top. Lets a test hold cells that
    // the lookup never produces (blanks, empty number, very long text).
    void AddRow(const QStringList& cells) {
        Shown()->InsertTop(ResultRow(cells[0].toStdString(), cells[1].toStdString(),
                                     cells[2].toStdString(), cells[3].toStdString(),
                                     cells[4].toStdString(), cells[5].toStdString()));
    }

    void Select(int index) { ListView1()->setCurrentIndex(Shown()->index(index, 0)); }

    void Query(const QString& number, const QString& province, const QString& city) {
        AnswerWith(number, province, city, "010", "100000", "中国移动");
        fake.dialogs.ExpectInput(number);
        Option(0)->click();
    }

    QString ExportPath() const { return QDir(folder.path()).filePath(QStringLiteral("out.txt")); }

    const RecordedPrompt& LastMessage() const {
        static RecordedPrompt none;
        const auto& prompts = fake.dialogs.Prompts();
        for (auto it = prompts.rbegin(); it != prompts.rend(); ++it)
            if (it->kind == RecordedPrompt::Kind::Message) return *it;
        ADD_FAILURE() << "no message box";
        return none;
    }
};

TEST_F(ResultsMenuTest, RemoveTakesOutTheSelectedRowOnly) {
    CreateReady();
    AddRow({"13800000003", "c", "", "", "", ""});
    AddRow({"13800000002", "b", "", "", "", ""});
    AddRow({"13800000001", "a", "", "", "", ""});
    SetEntries({"13800000002"});
    Select(1);
    Trigger("ycxxx");
    EXPECT_EQ(RowCount(), 2);
    EXPECT_EQ(Row(0).first(), QStringLiteral("13800000001"));
    EXPECT_EQ(Row(1).first(), QStringLiteral("13800000003"));
    EXPECT_EQ(Panel2(), QStringLiteral("手机号码:[13800000002]信息已被移除..."));
    EXPECT_EQ(ListCount(), 1);
    EXPECT_TRUE(fake.dialogs.Messages().empty());

    // Nothing is left selected: a second remove warns instead of taking a neighbour.
    fake.dialogs.ExpectMessage(MessageAnswer::Ok);
    Trigger("ycxxx");
    EXPECT_EQ(RowCount(), 2);
}

TEST_F(ResultsMenuTest, RemoveWithoutANumberToRemoveWarns) {
    CreateReady();
    const QString before = Panel2();
    fake.dialogs.ExpectMessage(MessageAnswer::Ok);
    Trigger("ycxxx");  // empty list

    AddRow({"", "a", "", "", "", ""});
    AddRow({"13800000001", "b", "", "", "", ""});
    fake.dialogs.ExpectMessage(MessageAnswer::Ok);
    Trigger("ycxxx");  // rows, none selected
    Select(1);
    fake.dialogs.ExpectMessage(MessageAnswer::Ok);
    Trigger("ycxxx");  // a row without a number

    ASSERT_EQ(fake.dialogs.Messages().size(), 3u);
    for (const RecordedPrompt& m : fake.dialogs.Messages()) {
        EXPECT_EQ(m.text, QStringLiteral("请选择您要删除列表项!"));
        EXPECT_EQ(m.title, kTitle);
        EXPECT_EQ(m.icon, MessageIcon::Exclamation);
        EXPECT_EQ(m.buttons, MessageButtons::Ok);
    }
    EXPECT_EQ(RowCount(), 2);
    EXPECT_EQ(Panel2(), before);
}

TEST_F(ResultsMenuTest, ClearAsksFirstAndLeavesTheBatchAlone) {
    CreateReady();
    AddRow({"13800000002", "b", "", "", "", ""});
    AddRow({"13800000001", "a", "", "", "", ""});
    SetEntries({"13800000003", "13800000004"});
    Timer5()->start();
    const QString before = Panel2();

    fake.dialogs.ExpectMessage(MessageAnswer::No);
    Trigger("cll");
    EXPECT_EQ(RowCount(), 2);
    const RecordedPrompt ask = fake.dialogs.Messages().at(0);
    EXPECT_EQ(ask.text, QStringLiteral("是否确定清空查询列表?"));
    EXPECT_EQ(ask.title, kTitle);
    EXPECT_EQ(ask.icon, MessageIcon::Information);
    EXPECT_EQ(ask.buttons, MessageButtons::YesNo);

    fake.dialogs.ExpectMessage(MessageAnswer::Yes);
    Trigger("cll");
    EXPECT_EQ(RowCount(), 0);
    EXPECT_EQ(ListView1()->model()->headerData(5, Qt::Horizontal), QStringLiteral("号码类型"));
    EXPECT_EQ(ListCount(), 2);
    EXPECT_TRUE(Timer5()->isActive());
    EXPECT_EQ(Panel2(), before);
    Timer5()->stop();

    fake.dialogs.ExpectMessage(MessageAnswer::Yes);
    Trigger("cll");  // already empty: no further message
    EXPECT_EQ(fake.dialogs.Messages().size(), 3u);
}

TEST_F(ResultsMenuTest, ExportWritesEveryRowNewestFirst) {
    CreateReady();
    Query("13800138000", "北京", "北京");
    Query("13912345678", "江苏", "常州");
    fake.dialogs.ExpectSaveFile(ExportPath());
    fake.dialogs.ExpectMessage(MessageAnswer::Ok);
    Trigger("dcqb");

    EXPECT_EQ(ReadRaw(ExportPath()),
              QByteArray("13912345678   \xBD\xAD\xCB\xD5   \xB3\xA3\xD6\xDD   010   100000   "
                         "\xD6\xD0\xB9\xFA\xD2\xC6\xB6\xAF\r\n"
                         "13800138000   \xB1\xB1\xBE\xA9   \xB1\xB1\xBE\xA9   010   100000   "
                         "\xD6\xD0\xB9\xFA\xD2\xC6\xB6\xAF\r\n"));
    const auto& prompts = fake.dialogs.Prompts();
    const RecordedPrompt& save = prompts.at(prompts.size() - 2);
    EXPECT_EQ(save.kind, RecordedPrompt::Kind::SaveFile);
    EXPECT_EQ(save.title, QStringLiteral("请选择您要保存的位置"));
    EXPECT_EQ(save.filter, QStringLiteral("文本文件（TXT）|*.txt"));
    EXPECT_EQ(save.folder, folder.path());
    EXPECT_EQ(LastMessage().text, QStringLiteral("成功导出全部数据!"));
    EXPECT_EQ(LastMessage().title, kTitle);
    EXPECT_EQ(LastMessage().icon, MessageIcon::Information);
    EXPECT_EQ(Panel2(), QStringLiteral("成功导出全部数据.."));
}

TEST_F(ResultsMenuTest, ExportReplacesAnExistingFileAndWritesCellsWhole) {
    CreateReady();
    WriteRaw(ExportPath(), QByteArray(5000, 'x'));
    const QString long_city(700, u'城');  // 1,400 bytes
    AddRow({" 12345 ", "", long_city, "", "", ""});
    fake.dialogs.ExpectSaveFile(ExportPath());
    fake.dialogs.ExpectMessage(MessageAnswer::Ok);
    Trigger("dcqb");
    QByteArray city;
    for (int i = 0; i < 700; ++i) city += "\xB3\xC7";
    EXPECT_EQ(ReadRaw(ExportPath()), "12345         " + city + QByteArray(9, ' ') + "\r\n");
}

TEST_F(ResultsMenuTest, NothingToExportAndCancelWriteNothing) {
    CreateReady();
    const QString before = Panel2();
    fake.dialogs.ExpectMessage(MessageAnswer::Ok);
    Trigger("dcqb");  // no rows: no dialog either
    ASSERT_EQ(fake.dialogs.Prompts().size(), 1u);
    EXPECT_EQ(LastMessage().text, QStringLiteral("没有可导出的数据!"));
    EXPECT_EQ(LastMessage().icon, MessageIcon::Information);

    AddRow({"13800138000", "a", "", "", "", ""});
    fake.dialogs.ExpectSaveFile(std::nullopt);
    fake.dialogs.ExpectMessage(MessageAnswer::Ok);
    Trigger("dcqb");
    EXPECT_EQ(LastMessage().text, QStringLiteral("已取消保存"));
    EXPECT_EQ(LastMessage().title, kTitle);
    EXPECT_EQ(LastMessage().icon, MessageIcon::Information);
    EXPECT_EQ(fake.files.writes, 0);
    EXPECT_EQ(Panel2(), before);
}

TEST_F(ResultsMenuTest, FailedWriteSaysSoAndKeepsTheOldFile) {
    CreateReady();
    WriteRaw(ExportPath(), "old content\r\n");
    fake.files.write_faults.insert(ExportPath(), QStringLiteral("磁盘已满"));
    AddRow({"13800138000", "a", "", "", "", ""});
    fake.dialogs.ExpectSaveFile(ExportPath());
    fake.dialogs.ExpectMessage(MessageAnswer::Ok);
    Trigger("dcqb");

    const RecordedPrompt failure = LastMessage();
    EXPECT_TRUE(failure.text.startsWith(QStringLiteral("导出失败!")));
    EXPECT_TRUE(failure.text.contains(ExportPath()));
    EXPECT_TRUE(failure.text.contains(QStringLiteral("磁盘已满")));
    EXPECT_EQ(failure.title, kTitle);
    EXPECT_EQ(failure.icon, MessageIcon::Exclamation);
    EXPECT_EQ(Panel2(), QStringLiteral("导出失败!无法写入文件[") + ExportPath() + "]..");
    EXPECT_EQ(ReadRaw(ExportPath()), QByteArray("old content\r\n"));
}

TEST_F(ResultsMenuTest, FolderInTheWayIsAFailureNotAnEmptyList) {
    CreateReady();
    const QString taken = QDir(folder.path()).filePath(QStringLiteral("taken.txt"));
    ASSERT_TRUE(QDir().mkdir(taken));
    AddRow({"13800138000", "a", "", "", "", ""});
    fake.dialogs.ExpectSaveFile(taken);
    fake.dialogs.ExpectMessage(MessageAnswer::Ok);
    Trigger("dcqb");
    EXPECT_TRUE(LastMessage().text.contains(taken));
    EXPECT_NE(LastMessage().text, QStringLiteral("没有可导出的数据!"));
    EXPECT_EQ(Panel2(), QStringLiteral("导出失败!无法写入文件[") + taken + "]..");
    EXPECT_TRUE(QFileInfo(taken).isDir());
}

TEST_F(ResultsMenuTest, CopyPutsTheSelectedResultOnTheClipboard) {
    CreateReady();
    Query("13800138000", "北京", "北京");
    Query("13912345678", "江苏", "常州");
    for (int i : {1, 0}) {
        Select(i);
        fake.dialogs.ExpectMessage(MessageAnswer::Ok);
        Trigger("cpp");
    }
    // The second copy replaced the first.
    EXPECT_EQ(fake.clipboard.Text(), ClipboardBlock(ResultRow("13912345678", "江苏", "常州", "010",
                                                              "100000", "中国移动")));
    EXPECT_EQ(fake.clipboard.clears, 2);
    const QString copied = QStringLiteral("手机号码:[13912345678]信息已复制到剪贴板!");
    EXPECT_EQ(LastMessage().text, copied);
    EXPECT_EQ(LastMessage().title, kTitle);
    EXPECT_EQ(LastMessage().icon, MessageIcon::Information);
    EXPECT_EQ(Panel2(), copied);
    EXPECT_EQ(RowCount(), 2);
}

TEST_F(ResultsMenuTest, CopyWithoutANumberWarnsAndLeavesTheClipboard) {
    CreateReady();
    fake.clipboard.SetText(QStringLiteral("keep"));
    const QString before = Panel2();
    fake.dialogs.ExpectMessage(MessageAnswer::Ok);
    Trigger("cpp");
    AddRow({"", "a", "", "", "", ""});
    Select(0);
    fake.dialogs.ExpectMessage(MessageAnswer::Ok);
    Trigger("cpp");
    for (const RecordedPrompt& m : fake.dialogs.Messages()) {
        EXPECT_EQ(m.text, QStringLiteral("请先查询再进行复制操作!"));
        EXPECT_EQ(m.icon, MessageIcon::Exclamation);
        EXPECT_EQ(m.title, kTitle);
    }
    EXPECT_EQ(fake.clipboard.Text(), QStringLiteral("keep"));
    EXPECT_EQ(fake.clipboard.clears, 0);
    EXPECT_EQ(Panel2(), before);
}

// The text read back must be the block itself: an empty clipboard and another program's
// text both mean the copy failed.
TEST_F(ResultsMenuTest, RefusedClipboardIsNotReportedAsCopied) {
    CreateReady();
    AddRow({"13800138000", "a", "", "", "", ""});
    Select(0);
    for (const QString& held : {QString(), QStringLiteral("另一个程序的文字")}) {
        fake.clipboard.refuse = false;
        fake.clipboard.SetText(held);
        fake.clipboard.refuse = true;
        fake.dialogs.ExpectMessage(MessageAnswer::Ok);
        Trigger("cpp");
        const RecordedPrompt failure = LastMessage();
        EXPECT_FALSE(failure.text.contains(QStringLiteral("已复制"))) << held.toStdString();
        EXPECT_TRUE(failure.text.contains(QStringLiteral("13800138000")));
        EXPECT_EQ(failure.icon, MessageIcon::Exclamation);
        EXPECT_EQ(Panel2(), failure.text);
    }
}

// The tables and the picture: the suffix comes with a name typed without one.
TEST_F(ResultsMenuTest, TablesHoldEveryRowNewestFirst) {
    CreateReady();
    Query("13800138000", "北京", "北京");
    Query("13912345678", "江苏", "常州");
    const QString base = QDir(folder.path()).filePath(QStringLiteral("结果"));
    fake.dialogs.ExpectSaveFile(base);
    fake.dialogs.ExpectMessage(MessageAnswer::Ok);
    Trigger("dccsv");
    EXPECT_EQ(ReadRaw(base + ".csv"),
              QByteArray("\xEF\xBB\xBF手机号码,所属省份,所属城市,区号,邮编,号码类型\r\n"
                         "13912345678,江苏,常州,010,100000,中国移动\r\n"
                         "13800138000,北京,北京,010,100000,中国移动\r\n"));
    EXPECT_EQ(LastMessage().text, QStringLiteral("成功导出全部数据!"));
    EXPECT_EQ(Panel2(), QStringLiteral("成功导出全部数据.."));

    fake.dialogs.ExpectSaveFile(base);
    fake.dialogs.ExpectMessage(MessageAnswer::Ok);
    Trigger("dcxls");
    EXPECT_TRUE(ReadRaw(base + ".xlsx").startsWith("PK\x03\x04"));
    EXPECT_EQ(LastMessage().text, QStringLiteral("成功导出全部数据!"));
    const auto& prompts = fake.dialogs.Prompts();
    const RecordedPrompt& save = prompts.at(prompts.size() - 2);
    EXPECT_EQ(save.title, QStringLiteral("请选择您要保存的位置"));
    EXPECT_EQ(save.default_suffix, QStringLiteral("xlsx"));
}

TEST_F(ResultsMenuTest, TablesAndChartsNeedRowsAndReportFailures) {
    CreateReady();
    for (const char* item : {"dccsv", "dcxls", "tjtb"}) {
        fake.dialogs.ExpectMessage(MessageAnswer::Ok);
        Trigger(item);
        EXPECT_EQ(LastMessage().icon, MessageIcon::Information);
    }
    ASSERT_EQ(fake.dialogs.Prompts().size(), 3u);  // no save dialog
    EXPECT_EQ(fake.dialogs.Messages()[1].text, QStringLiteral("没有可导出的数据!"));
    EXPECT_EQ(fake.dialogs.Messages()[2].text, QStringLiteral("没有可统计的数据!"));
    EXPECT_EQ(form->findChild<QDialog*>(QStringLiteral("SummaryDialog")), nullptr);

    AddRow({"13800138000", "a", "", "", "", ""});
    const QString path = QDir(folder.path()).filePath(QStringLiteral("out.xlsx"));
    WriteRaw(path, "old");
    fake.files.write_faults.insert(path, QStringLiteral("磁盘已满"));
    fake.dialogs.ExpectSaveFile(path);
    fake.dialogs.ExpectMessage(MessageAnswer::Ok);
    Trigger("dcxls");
    EXPECT_EQ(LastMessage().text,
              QStringLiteral("导出失败!无法写入文件[") + path + QStringLiteral("]!\r\n磁盘已满"));
    EXPECT_EQ(LastMessage().icon, MessageIcon::Exclamation);
    EXPECT_EQ(Panel2(), QStringLiteral("导出失败!无法写入文件[") + path + "]..");
    EXPECT_EQ(ReadRaw(path), QByteArray("old"));

    fake.dialogs.ExpectSaveFile(std::nullopt);
    fake.dialogs.ExpectMessage(MessageAnswer::Ok);
    Trigger("dccsv");
    EXPECT_EQ(LastMessage().text, QStringLiteral("已取消保存"));
}

TEST_F(ResultsMenuTest, ChartsShowTheListAndSaveAsAPicture) {
    CreateReady();
    AddRow({"13800138000", "北京", "", "", "", "中国移动"});
    AddRow({"13800138001", "北京", "", "", "", "中国联通"});
    AddRow({"13800138002", "江苏", "", "", "", "中国移动"});
    Trigger("tjtb");
    auto* dialog = form->findChild<QDialog*>(QStringLiteral("SummaryDialog"));
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->isVisible());
    const auto* bars = qobject_cast<QAbstractBarSeries*>(
        dialog->findChild<QChartView*>(QStringLiteral("ProvinceChart"))->chart()->series().at(0));
    ASSERT_NE(bars, nullptr);
    const QBarSet* set = bars->barSets().at(0);
    EXPECT_EQ((QList<qreal>{set->at(0), set->at(1)}), (QList<qreal>{1, 2}));  // largest on top
    const auto* pie = qobject_cast<QPieSeries*>(
        dialog->findChild<QChartView*>(QStringLiteral("CardTypeChart"))->chart()->series().at(0));
    ASSERT_NE(pie, nullptr);
    EXPECT_EQ(pie->sum(), 3);

    const QString base = QDir(folder.path()).filePath(QStringLiteral("图表"));
    fake.dialogs.ExpectSaveFile(base);
    fake.dialogs.ExpectMessage(MessageAnswer::Ok);
    dialog->findChild<QPushButton*>(QStringLiteral("SaveChartsButton"))->click();
    EXPECT_TRUE(ReadRaw(base + ".png").startsWith("\x89PNG\r\n\x1A\n"));
    EXPECT_EQ(LastMessage().text, QStringLiteral("成功导出统计图表!"));
    EXPECT_EQ(Panel2(), QStringLiteral("成功导出统计图表.."));
}

}  // namespace
}  // namespace numtrail::test
