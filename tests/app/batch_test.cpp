// The window's side of the batch: the import, and the wiring of the runner to the buttons,
// the speed list, the pending list and the result list. The run's own logic is tested on
// the runner alone (tests/lookup).
#include <QDir>
#include <QFile>
#include <QProgressBar>
#include <QStatusBar>
#include <QTest>

#include "app/form1_fixture.h"
#include "support/workbooks.h"

namespace numtrail::test {
namespace {

// The fields the scripted service gives each number, so that a row shows whose answer it holds.
QStringList Expected(const QString& n) {
    return {n,
            QStringLiteral("省") + n.right(2),
            QStringLiteral("市") + n.right(2),
            QStringLiteral("0") + n.right(3),
            QStringLiteral("2") + n.right(5),
            QStringLiteral("卡") + n.right(2)};
}

QString AnswerFor(const QString& n) {
    const QStringList f = Expected(n);
    return AttributionAnswer(n, f[1], f[2], f[3], f[4], f[5]);
}

class BatchTest : public Form1Test {
  protected:
    QString WriteList(const QByteArray& bytes, const QString& name = QStringLiteral("list.txt")) {
        const QString path = folder.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }

    void Import(const QString& path) {
        fake.dialogs.ExpectOpenFile(path);
        Button("Command2")->click();
    }

    void ImportNumbers(const QStringList& numbers) {
        Import(WriteList(numbers.join(QStringLiteral("\r\n")).toLatin1()));
    }

    void StartStop() { Button("Command3")->click(); }
    void Tick() { Find<BatchRunner>("BatchRunner")->Tick(); }  // as Timer5 would

    QString Caption() const { return Find<QGroupBox>("Frame4")->title(); }
};

TEST_F(BatchTest, ImportReplacesTheListAndShowsItsCount) {
    CreateReady();
    Import(WriteList("13800138000\r\n\r\n13912345678"));
    EXPECT_EQ(ListCount(), 2);
    EXPECT_EQ(ListEntry(1), QStringLiteral("13912345678"));
    EXPECT_EQ(Caption(), QStringLiteral("批量查询：2个手机号码"));
    EXPECT_EQ(Panel2(), QStringLiteral("号码列表加载成功!"));
    const RecordedPrompt dialog = fake.dialogs.Prompts().at(0);
    EXPECT_EQ(dialog.kind, RecordedPrompt::Kind::OpenFile);
    EXPECT_EQ(dialog.title, QStringLiteral("请选择手机号码文件"));
    // The design's filter first; workbooks and contacts files beside it.
    EXPECT_TRUE(dialog.filter.startsWith(QStringLiteral("文本文件（TXT）|*.txt|")));
    EXPECT_EQ(dialog.folder, settings.program_folder);

    // Cancel keeps the earlier list and the panel (here the speed list's).
    auto* speeds = Find<QComboBox>("Combo1");
    emit speeds->activated(speeds->currentIndex());
    fake.dialogs.ExpectOpenFile(std::nullopt);
    Button("Command2")->click();
    EXPECT_EQ(ListCount(), 2);
    EXPECT_EQ(Caption(), QStringLiteral("批量查询：2个手机号码"));
    EXPECT_EQ(Panel2(), QStringLiteral("当前速度为每1秒/次"));

    Import(WriteList("", QStringLiteral("empty.txt")));
    EXPECT_EQ(ListCount(), 0);
    EXPECT_EQ(Caption(), QStringLiteral("批量查询：0个手机号码"));
    EXPECT_EQ(Panel2(), QStringLiteral("号码列表加载成功!"));
}

// As a phone or a spreadsheet saves a list: UTF-8 with a byte order mark and a header line.
TEST_F(BatchTest, ExportedListImportsWhole) {
    CreateReady();
    Import(
        WriteList("\xEF\xBB\xBF手机号\r\n+86 138 0013 8000\r\n139-1234-5678 \r\n"
                  "\t15000000001\r\n13800138000 张三\r\n"));
    EXPECT_EQ(Caption(), QStringLiteral("批量查询：4个手机号码"));
    ASSERT_EQ(ListCount(), 4);
    EXPECT_EQ(ListEntry(3), QStringLiteral("13800138000"));  // the name beside it goes
    const QStringList numbers{"13800138000", "13912345678", "15000000001", "13800138000"};
    for (const QString& n : numbers) fake.fetcher.Answer(AnswerFor(n));
    StartStop();
    for (int tick = 0; tick < 4; ++tick) Tick();
    EXPECT_EQ(fake.fetcher.urls.mid(1), (QStringList{QueryUrl(numbers[0]), QueryUrl(numbers[1]),
                                                     QueryUrl(numbers[2]), QueryUrl(numbers[3])}));
}

TEST_F(BatchTest, UnreadableFileLeavesTheListAsItWas) {
    CreateReady();
    ImportNumbers({"13800138000"});
    const QString locked = WriteList("13912345678\r\n", QStringLiteral("locked.txt"));
    fake.files.read_faults[locked] = QStringLiteral("拒绝访问");
    fake.dialogs.ExpectOpenFile(locked);
    fake.dialogs.ExpectMessage(MessageAnswer::Ok);
    Button("Command2")->click();

    ASSERT_EQ(fake.dialogs.Messages().size(), 1u);
    const RecordedPrompt warning = fake.dialogs.Messages()[0];
    EXPECT_TRUE(warning.text.contains(QDir::toNativeSeparators(locked)));
    EXPECT_TRUE(warning.text.contains(QStringLiteral("拒绝访问")));
    EXPECT_EQ(warning.icon, MessageIcon::Exclamation);
    EXPECT_EQ(warning.title, QStringLiteral("Quorvel系列软件"));
    EXPECT_EQ(Panel2(), "无法读取手机号码文件[" + QDir::toNativeSeparators(locked) + "]..");
    EXPECT_EQ(ListCount(), 1);
    EXPECT_EQ(ListEntry(0), QStringLiteral("13800138000"));
    EXPECT_EQ(Caption(), QStringLiteral("批量查询：1个手机号码"));
}

// A list file is told by its content: text as contacts exports and chats hold numbers, a
// workbook, a contacts file. Every number found is an entry; a line with digits but no number
// stays for the batch to report; a line without digits goes.
TEST_F(BatchTest, ImportReadsTextWorkbooksAndContacts) {
    CreateReady();
    const std::string xlsx = folder.filePath(QStringLiteral("list.xlsx")).toStdString();
    ASSERT_TRUE(WriteXlsx(xlsx, {{"名单",
                                  {{0, 0, std::string("姓名")},
                                   {0, 1, std::string("手机")},
                                   {1, 0, std::string("张伟")},
                                   {1, 1, 13800138000.0},  // stored as a number
                                   {2, 0, std::string("李娜")},
                                   {2, 1, std::string("139-1234-5678")}}},
                                 {"座机", {{0, 0, std::string("(0755)86001234")}}}}));
    const struct {
        QString path;
        QStringList entries;
    } cases[] = {
        {WriteList("\xEF\xBB\xBF姓名,电话\r\n张伟 13800138000\r\n"
                   "手机：13912345678/15000000001\r\nVERSION:3.0\r\n座机 010-62345678\r\n"
                   "400-800-1234\r\n身份证 110105194912310021\r\n\r\n"),
         {"13800138000", "13912345678", "15000000001", "VERSION:3.0", "01062345678", "4008001234",
          "身份证 110105194912310021"}},
        {QString::fromStdString(xlsx), {"13800138000", "13912345678", "075586001234"}},
        {WriteList("BEGIN:VCARD\r\nVERSION:3.0\r\nFN:张伟\r\nTEL;TYPE=CELL:+86 138 0013 8000\r\n"
                   "TEL;TYPE=WORK:010-6234\r\n 5678\r\nEND:VCARD\r\n",
                   QStringLiteral("contacts.vcf")),
         {"13800138000", "01062345678"}},
    };
    for (const auto& c : cases) {
        Import(c.path);
        QStringList entries;
        for (int i = 0; i < ListCount(); ++i) entries << ListEntry(i);
        EXPECT_EQ(entries, c.entries) << c.path.toStdString();
        EXPECT_EQ(Caption(), QStringLiteral("批量查询：%1个手机号码").arg(c.entries.size()));
        EXPECT_EQ(Panel2(), QStringLiteral("号码列表加载成功!"));
    }
    EXPECT_TRUE(fake.dialogs.Messages().empty());
}

// A file that holds no list, a workbook that cannot be read and a file too large to read
// leave the list as it was, and say why in a box and in panel 2.
TEST_F(BatchTest, FilesThatHoldNoListAreRefused) {
    CreateReady();
    ImportNumbers({"13800138000"});
    const std::string book = folder.filePath(QStringLiteral("book.xlsx")).toStdString();
    ASSERT_TRUE(WriteXlsx(book, {{"Sheet1", {{0, 0, 13912345678.0}}}}));
    QFile whole(QString::fromStdString(book));
    ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
    const QByteArray cut = whole.readAll().chopped(200);
    // Past the bound by one byte, without a byte written: the import must not read it.
    const QString huge = WriteList("13912345678\r\n", QStringLiteral("huge.txt"));
    ASSERT_TRUE(QFile::resize(huge, (qint64{2} << 30) + 1));
    const struct {
        QString path;
        QString said;
    } cases[] = {
        {WriteList(QByteArray("\x89PNG\r\n\x1A\n\0\0\0\rIHDR", 16), QStringLiteral("photo.txt")),
         QStringLiteral("文件[%1]中没有号码列表")},
        {WriteList(QByteArray("%PDF-1.7\n13912345678\n"), QStringLiteral("list.pdf")),
         QStringLiteral("文件[%1]中没有号码列表")},
        {WriteList(cut, QStringLiteral("cut.xlsx")), QStringLiteral("无法读取工作簿[%1]")},
        {huge, QStringLiteral("手机号码文件[%1]超过2 GiB，不能导入")},
    };
    for (const auto& c : cases) {
        fake.dialogs.Clear();
        fake.dialogs.ExpectOpenFile(c.path);
        fake.dialogs.ExpectMessage(MessageAnswer::Ok);
        Button("Command2")->click();
        const QString said = c.said.arg(QDir::toNativeSeparators(c.path));
        ASSERT_EQ(fake.dialogs.Messages().size(), 1u) << c.path.toStdString();
        const RecordedPrompt box = fake.dialogs.Messages()[0];
        EXPECT_TRUE(box.text.startsWith(said + QStringLiteral("!"))) << box.text.toStdString();
        EXPECT_EQ(box.icon, MessageIcon::Exclamation);
        EXPECT_EQ(Panel2(), said + QStringLiteral(".."));
        ASSERT_EQ(ListCount(), 1);
        EXPECT_EQ(ListEntry(0), QStringLiteral("13800138000"));
        EXPECT_EQ(Caption(), QStringLiteral("批量查询：1个手机号码"));
    }
}

// A batch is unattended: an entry that is no number is said in panel 2 and counted in the
// summary, and the run goes on without a box to click.
TEST_F(BatchTest, EntriesThatAreNoNumberAreCountedWithoutABox) {
    CreateReady();
    Import(
        WriteList("姓名,手机\r\n张伟,13800138000\r\n1380013800a\r\n"
                  "王芳,13912345678\r\n备注,1.38001E+10\r\n"));
    ASSERT_EQ(ListCount(), 4);
    fake.fetcher.Answer(AnswerFor("13800138000"));
    fake.fetcher.Answer(AnswerFor("13912345678"));
    StartStop();
    Tick();
    Tick();
    EXPECT_EQ(Panel2(), QStringLiteral("您输入的内容错误!手机号为纯数字!"));
    Tick();
    Tick();
    EXPECT_TRUE(fake.dialogs.Messages().empty());
    EXPECT_EQ(Panel2(), QStringLiteral("所有手机号码已查询完毕!"));
    EXPECT_EQ(RowCount(), 2);
    EXPECT_EQ(Find<QProgressBar>("ProgressBar1")->text(),
              QStringLiteral("写入2行，无归属0个，格式错误2个，重试0次"));
}

// Landlines and 400/800 numbers pass the number check and are asked about as their digits.
TEST_F(BatchTest, LandlinesAndServiceNumbersAreAskedAsTheirDigits) {
    CreateReady();
    Import(WriteList("总机 (0755) 8600-1234\r\n客服 400-800-1234\r\n"));
    for (const QString n : {"075586001234", "4008001234"}) fake.fetcher.Answer(AnswerFor(n));
    StartStop();
    Tick();
    Tick();
    EXPECT_EQ(fake.fetcher.urls.mid(1),
              (QStringList{QueryUrl("075586001234"), QueryUrl("4008001234")}));
    EXPECT_EQ(Row(0), Expected("4008001234"));
    EXPECT_EQ(Row(1), Expected("075586001234"));
}

TEST_F(BatchTest, RunShowsItsStateInTheButtonsAndTheLists) {
    CreateReady();
    const QStringList numbers{"13800138000", "13912345678", "15000000001"};
    ImportNumbers(numbers);
    StartStop();
    EXPECT_EQ(Button("Command3")->text(), QStringLiteral("停止查询"));
    EXPECT_TRUE(Timer5()->isActive());
    EXPECT_EQ(ListRow(), 0);
    for (const char* name : {"Command2", "Combo1", "List1"})
        EXPECT_FALSE(Find<QWidget>(name)->isEnabled()) << name;

    for (const QString& n : numbers) {
        fake.fetcher.Answer(AnswerFor(n));
        Tick();
    }
    EXPECT_EQ(fake.fetcher.urls.mid(1),
              (QStringList{QueryUrl(numbers[0]), QueryUrl(numbers[1]), QueryUrl(numbers[2])}));
    ASSERT_EQ(RowCount(), 3);
    EXPECT_EQ(Row(0), Expected(numbers[2]));
    EXPECT_TRUE(TopRowSelected());
    EXPECT_EQ(Panel2(), QStringLiteral("所有手机号码已查询完毕!"));
    EXPECT_EQ(Button("Command3")->text(), QStringLiteral("停止查询"));
    EXPECT_FALSE(List1()->isEnabled());
    EXPECT_EQ(ListRow(), 2);

    StartStop();
    EXPECT_EQ(Panel2(), QStringLiteral("批量查询已停止.."));
    EXPECT_EQ(Button("Command3")->text(), QStringLiteral("开始查询"));
    for (const char* name : {"Command2", "Combo1", "List1"})
        EXPECT_TRUE(Find<QWidget>(name)->isEnabled()) << name;

    // The entry the user picks is where the next run starts; a list imported while that
    // run is stopped during its fetch is left alone by the run.
    List1()->setCurrentIndex(Entries()->index(1));
    StartStop();
    fake.fetcher.Answer(AnswerFor(numbers[1]), [this] {
        StartStop();
        ImportNumbers({"15000000009"});
    });
    Tick();
    EXPECT_EQ(fake.fetcher.urls.last(), QueryUrl(numbers[1]));
    EXPECT_EQ(Panel2(), numbers[1] + QStringLiteral(" 查询完毕.."));
    EXPECT_EQ(ListRow(), -1);
}

TEST_F(BatchTest, ImportStaysOffWhileARunIsOn) {
    CreateReady();
    ImportNumbers({"13800138000"});
    const auto import_after_switching_modes = [this] {
        fake.dialogs.ExpectInput(std::nullopt);
        Option(0)->click();
        Option(1)->click();
        return Button("Command2")->isEnabled();
    };
    StartStop();
    EXPECT_FALSE(import_after_switching_modes());  // running
    fake.fetcher.Answer(AnswerFor("13800138000"));
    Tick();
    EXPECT_FALSE(import_after_switching_modes());  // finished
    StartStop();
    EXPECT_TRUE(import_after_switching_modes());
}

// The bar beside the panels appears with the first run, counts it, warns while the same entry
// keeps failing and ends with the run's summary, also as its tooltip.
TEST_F(BatchTest, ProgressBarFollowsTheRun) {
    CreateReady();
    auto* bar = Find<QProgressBar>("ProgressBar1");
    EXPECT_FALSE(bar->isVisible());
    ImportNumbers({"13800138000", "1391234567", "15000000001"});
    StartStop();
    EXPECT_TRUE(bar->isVisible());
    EXPECT_EQ(bar->text(), QStringLiteral("0/3，剩余约3秒"));

    for (int failure = 0; failure < 3; ++failure) {
        fake.fetcher.Fail(QStringLiteral("Connection refused"));
        Tick();
    }
    // A fast run's bar follows within a tenth of a second.
    EXPECT_TRUE(QTest::qWaitFor([bar] { return bar->text() == "连接失败，正在重试…（3次）"; }));
    EXPECT_EQ(bar->toolTip(), QStringLiteral("Connection refused"));
    EXPECT_EQ(Panel2(), QStringLiteral("手机号码[13800138000]查询中..."));

    fake.fetcher.Answer(AnswerFor("13800138000"));
    Tick();
    Tick();
    fake.fetcher.Answer(AttributionAnswer("15000000001", "", "", "", "", ""));
    Tick();
    const QString summary = QStringLiteral("写入1行，无归属1个，格式错误1个，重试3次");
    EXPECT_EQ(bar->text(), summary);
    EXPECT_EQ(bar->toolTip(), summary);
    EXPECT_EQ(bar->value(), bar->maximum());
    EXPECT_EQ(Panel2(), QStringLiteral("所有手机号码已查询完毕!"));
}

// A batch tick runs inside the wait of a single query. The outer answer has no AreaCode;
// the nested one has, and leaves it in the shared work area.
TEST_F(BatchTest, TickNestedInASingleQueryKeepsBothRowsApart) {
    CreateReady();
    const QString outer = QStringLiteral("13800138000");
    const QString nested = QStringLiteral("13912345678");
    ImportNumbers({nested});
    StartStop();
    fake.fetcher.Answer(AttributionAnswer(outer, "北京", "北京", "", "100000", "中国移动")
                            .remove(QStringLiteral("\"AreaCode\":\"\",")),
                        [this] { Tick(); });
    fake.fetcher.Answer(AnswerFor(nested));
    fake.dialogs.ExpectInput(outer);
    Option(0)->click();

    EXPECT_EQ(fake.fetcher.urls.mid(1), (QStringList{QueryUrl(outer), QueryUrl(nested)}));
    ASSERT_EQ(RowCount(), 2);
    EXPECT_EQ(Row(0), (QStringList{outer, "北京", "北京", "", "100000", "中国移动"}));
    EXPECT_EQ(Row(1), Expected(nested));
    EXPECT_EQ(Panel2(), QStringLiteral("查询完毕.."));
    EXPECT_FALSE(Timer5()->isActive());  // the nested tick finished the one-entry run
}

// Every row the window writes, single or batch, goes to the journal as it is written; a
// lookup that writes no row writes nothing there either.
TEST_F(BatchTest, JournalHoldsEveryRowTheWindowShows) {
    settings.journal_folder = folder.filePath(QStringLiteral("journal"));
    CreateReady();
    fake.fetcher.Answer(AnswerFor("13800138000"));
    fake.dialogs.ExpectInput(QStringLiteral("13800138000"));
    Option(0)->click();
    fake.fetcher.Answer(AttributionAnswer("13800000000", "", "", "", "", ""));
    fake.dialogs.ExpectInput(QStringLiteral("13800000000"));
    Option(0)->click();
    Option(1)->click();
    ImportNumbers({"13912345678", "13900000000"});
    fake.fetcher.Answer(AnswerFor("13912345678"));
    fake.fetcher.Answer(AttributionAnswer("13900000000", "", "", "", "", ""));
    StartStop();
    Tick();
    Tick();
    ASSERT_EQ(RowCount(), 3);

    QFile journal(folder.filePath(QStringLiteral("journal/2026-12-08.csv")));
    ASSERT_TRUE(journal.open(QIODevice::ReadOnly));
    EXPECT_EQ(
        journal.readAll(),
        QByteArray("\xEF\xBB\xBF时间,手机号码,所属省份,所属城市,区号,邮编,号码类型,查询模式\r\n"
                   "2026-12-08 09:30:00,13800138000,省00,市00,0000,238000,卡00,单号\r\n"
                   "2026-12-08 09:30:00,13800000000,,,,,,单号\r\n"
                   "2026-12-08 09:30:00,13912345678,省78,市78,0678,245678,卡78,批量\r\n"));
}

TEST_F(BatchTest, JournalFailureIsSaidOnceAndTheRunGoesOn) {
    QFile blocker(folder.filePath(QStringLiteral("blocker")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    settings.journal_folder = folder.filePath(QStringLiteral("blocker/journal"));
    CreateReady();
    const QStringList numbers{"13800138000", "13912345678"};
    ImportNumbers(numbers);
    for (const QString& n : numbers) fake.fetcher.Answer(AnswerFor(n));
    ::testing::internal::CaptureStderr();
    StartStop();
    Tick();
    Tick();
    const std::string err = ::testing::internal::GetCapturedStderr();

    EXPECT_EQ(RowCount(), 2);
    EXPECT_EQ(Panel2(), QStringLiteral("所有手机号码已查询完毕!"));
    EXPECT_TRUE(fake.dialogs.Messages().empty());
    const QString tip = Find<QStatusBar>("S1")->toolTip();
    EXPECT_TRUE(tip.startsWith(QStringLiteral("结果日志写入失败"))) << tip.toStdString();
    EXPECT_TRUE(tip.contains(settings.journal_folder)) << tip.toStdString();
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    EXPECT_NE(err.find("numtrail: results journal: "), std::string::npos) << err;
}

// The first start that keeps a journal says where, and how to keep none; later starts do not.
TEST_F(BatchTest, FirstStartWithAJournalSaysWhereRowsAreKept) {
    settings.journal_folder = folder.filePath(QStringLiteral("journal"));
    settings.journal_days = 7;
    CreateReady();
    const QString tip = Find<QStatusBar>("S1")->toolTip();
    EXPECT_TRUE(tip.contains(settings.journal_folder)) << tip.toStdString();
    EXPECT_TRUE(tip.contains(QStringLiteral("--no-journal"))) << tip.toStdString();
    EXPECT_TRUE(tip.contains(QStringLiteral("7 天"))) << tip.toStdString();
    CreateReady();
    EXPECT_EQ(Find<QStatusBar>("S1")->toolTip(), QString());
}

}  // namespace
}  // namespace numtrail::test
