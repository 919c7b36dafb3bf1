#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QMouseEvent>
#include <QStatusBar>
#include <QStyle>

#include "app/column_width.h"
#include "app/form1_fixture.h"

namespace numtrail::test {
namespace {

TEST_F(Form1Test, DesignStateBeforeTheUpdateCheck) {
    Form1& f = Create();
    EXPECT_EQ(f.windowTitle(), QStringLiteral("QuorvelNumtrail V4.1"));
    EXPECT_EQ(f.size(), QSize(779, 513));
    for (int i = 0; i < 2; ++i) {
        EXPECT_FALSE(Option(i)->isEnabled());
        EXPECT_FALSE(Option(i)->isChecked());
    }
    for (const char* b : {"Command2", "Command3", "Command8"}) EXPECT_FALSE(Button(b)->isEnabled());
    for (const char* b : {"Command1", "Command4", "Command5"}) EXPECT_TRUE(Button(b)->isEnabled());
    EXPECT_EQ(Button("Command3")->text(), QStringLiteral("开始查询"));
    EXPECT_EQ(Find<QGroupBox>("Frame4")->title(), QStringLiteral("批量查询"));
    EXPECT_EQ(f.PanelText(1), QStringLiteral("提示："));
    EXPECT_EQ(f.PanelText(2), QStringLiteral("检测更新中请稍等.."));
    EXPECT_EQ(f.PanelText(3), QStringLiteral("Quorvel出品"));
    EXPECT_EQ(Find<QLabel>("Label6")->text(), QStringLiteral("正在进行联网检测..请您稍等.."));
    EXPECT_FALSE(Timer5()->isActive());
    EXPECT_EQ(Timer5()->interval(), 1000);

    // Positions inside containers are relative to the container.
    EXPECT_EQ(List1()->geometry(), QRect(8, 16, 161, 208));
    EXPECT_EQ(Button("Command8")->geometry(), QRect(8, 312, 161, 33));
    EXPECT_EQ(ListView1()->geometry(), QRect(8, 16, 561, 377));
    EXPECT_EQ(Find<QComboBox>("Combo1")->geometry(), QRect(464, 408, 57, 20));
    EXPECT_EQ(Find<QLabel>("Label6")->geometry(), QRect(88, 24, 240, 16));
    EXPECT_EQ(Find<QStatusBar>("S1")->geometry(), QRect(0, 472, 779, 41));

    const QAbstractItemModel* list = ListView1()->model();
    QStringList headers, keys;
    for (int c = 0; c < list->columnCount(); ++c) {
        headers << list->headerData(c, Qt::Horizontal).toString();
        keys << list->headerData(c, Qt::Horizontal, ResultListModel::kKeyRole).toString();
    }
    EXPECT_EQ(headers,
              (QStringList{"手机号码", "所属省份", "所属城市", "区号", "邮编", "号码类型"}));
    EXPECT_EQ(keys, (QStringList{"num", "pro", "city", "qh", "yb", "lx"}));

    QStringList items;
    for (QAction* a : Find<QMenu>("menu")->actions())
        items << (a->isSeparator() ? QStringLiteral("-") : a->objectName() + ":" + a->text());
    EXPECT_EQ(items, (QStringList{"cpp:复制此号信息", "-", "ycxxx:移除此项信息", "-",
                                  "dcqb:导出全部信息", "-", "cll:清空查询列表", "-",
                                  "dccsv:导出为CSV表格...", "-", "dcxls:导出为Excel表格...", "-",
                                  "tjtb:统计图表...", "-", "endd:退出应用程序"}));
}

TEST_F(Form1Test, UpToDateStartUnlocksWithBatchModeSelected) {
    Form1& f = CreateReady();
    EXPECT_TRUE(fake.dialogs.Prompts().empty());
    EXPECT_EQ(Panel2(), QStringLiteral("欢迎使用Quorvel系列软件 .."));
    EXPECT_FALSE(Find<QWidget>("Picture1")->isVisible());
    EXPECT_FALSE(Find<QLabel>("Label6")->isVisible());
    EXPECT_TRUE(Option(1)->isChecked());
    EXPECT_TRUE(Option(0)->isEnabled());
    EXPECT_TRUE(Option(1)->isEnabled());
    for (const char* b : {"Command2", "Command3", "Command8"}) EXPECT_TRUE(Button(b)->isEnabled());
    auto* combo = Find<QComboBox>("Combo1");
    ASSERT_EQ(combo->count(), 15);
    EXPECT_EQ(combo->itemText(0), QStringLiteral("0"));
    EXPECT_EQ(combo->itemText(1), QStringLiteral("0.1"));
    EXPECT_EQ(combo->itemText(9), QStringLiteral("0.9"));
    EXPECT_EQ(combo->itemText(14), QStringLiteral("5"));
    EXPECT_EQ(combo->currentText(), QStringLiteral("1"));
    EXPECT_EQ(Timer5()->interval(), 1000);
    EXPECT_EQ(fake.fetcher.urls, QStringList{"http://update.test/version/main.txt"});
    EXPECT_TRUE(f.isVisible());
}

TEST_F(Form1Test, UpdateCheckPaths) {
    enum class Path { Current, Newer, Failed };
    struct Case {
        std::optional<QString> manifest;  // none: the fetch fails
        Path path;
        QString version;
    };
    const Case cases[] = {
        {"sjhm:V4.2|", Path::Newer, "V4.2"},
        {"x|sjhm:V4.1|y|sjhm:V9|", Path::Current, ""},  // the first key counts
        {"sjhm:V4.1", Path::Failed, ""},                // no bar: no version
        {"sjhm: V4.1|", Path::Newer, " V4.1"},          // a leading blank is another version
        {"SJHM:V4.1|", Path::Failed, ""},               // no key at all: not a manifest
        {"", Path::Failed, ""},
        {std::nullopt, Path::Failed, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.manifest.value_or("(no answer)").toStdString());
        fake.dialogs.Clear();
        fake.shell.opened.clear();
        fake.end.ended = 0;
        if (c.manifest)
            fake.fetcher.Answer(*c.manifest);
        else
            fake.fetcher.Fail(QStringLiteral("Connection refused"));
        Create();
        if (c.path == Path::Newer) {
            fake.dialogs.ExpectMessage(MessageAnswer::Ok);
            EXPECT_THROW(form->Load(), ProgramEnded);
            ASSERT_EQ(fake.dialogs.Messages().size(), 1u);
            const RecordedPrompt box = fake.dialogs.Messages()[0];
            EXPECT_EQ(box.text, "发现最新版本![" + c.version + "]\r\n \r\n确定后自动打开官方论坛!");
            EXPECT_EQ(box.icon, MessageIcon::Information);
            EXPECT_EQ(box.title, QStringLiteral("Quorvel系列软件"));
            EXPECT_EQ(fake.shell.opened,
                      QStringList{QDir(folder.path()).filePath("help/forum.html")});
            EXPECT_EQ(fake.end.ended, 1);
            continue;
        }
        if (c.path == Path::Failed) fake.dialogs.ExpectMessage(MessageAnswer::Ok);
        form->Load();
        if (c.path == Path::Current) {
            EXPECT_TRUE(fake.dialogs.Prompts().empty());
        } else {
            EXPECT_EQ(fake.dialogs.Messages().at(0).text,
                      QStringLiteral("检测更新失败!请您稍后再试,暂时使用原版"));
            EXPECT_EQ(fake.dialogs.Messages().at(0).icon, MessageIcon::Exclamation);
        }
        // Either way a usable window.
        EXPECT_EQ(Panel2(), QStringLiteral("欢迎使用Quorvel系列软件 .."));
        EXPECT_TRUE(Option(1)->isChecked());
        EXPECT_TRUE(Button("Command3")->isEnabled());
        EXPECT_EQ(fake.end.ended, 0);
    }
}

TEST_F(Form1Test, ExitConfirmationAnswers) {
    const QString text = QStringLiteral(
        "感谢您对Quorvel、对Quorvel系列的软件的支持!\r "
        "\r是否退出并到论坛可以下载更多Quorvel的原创免费软件?");
    CreateReady();
    Timer5()->start();

    fake.dialogs.ExpectMessage(MessageAnswer::Cancel);
    EXPECT_FALSE(form->close());
    EXPECT_TRUE(form->isVisible());
    EXPECT_TRUE(Timer5()->isActive());
    const RecordedPrompt box = fake.dialogs.Messages().at(0);
    EXPECT_EQ(box.text, text);
    EXPECT_EQ(box.title, QStringLiteral("Quorvel系列软件"));
    EXPECT_EQ(box.buttons, MessageButtons::YesNoCancel);
    EXPECT_EQ(box.icon, MessageIcon::Information);

    // Yes and No really end the process; the pages opened before that are reported.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    fake.end.exit_process = true;
    fake.end.before_exit = [this] {
        std::fprintf(stderr, "pages opened: %d\n", int(fake.shell.opened.size()));
    };
    EXPECT_EXIT(
        {
            fake.dialogs.ExpectMessage(MessageAnswer::No);
            Button("Command5")->click();
            std::_Exit(0);
        },
        ::testing::ExitedWithCode(3), "pages opened: 0\nprogram ended");
    EXPECT_EXIT(
        {
            fake.dialogs.ExpectMessage(MessageAnswer::Yes);
            Find<QMenu>("menu")->findChild<QAction*>("endd")->trigger();
            std::_Exit(0);
        },
        ::testing::ExitedWithCode(3), "pages opened: 1\nprogram ended");
}

TEST_F(Form1Test, CloseDuringTheUpdateCheckWaitEndsAtOnce) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            fake.end.exit_process = true;
            Create();
            fake.fetcher.Answer(QStringLiteral("sjhm:V4.1|"), [this] { form->close(); });
            fake.dialogs.ExpectMessage(MessageAnswer::No);
            form->Load();
            std::fputs("the update check went on\n", stderr);
            std::_Exit(0);
        },
        ::testing::ExitedWithCode(3), "program ended");
}

TEST_F(Form1Test, LinkButtonsOpenTheShippedPages) {
    CreateReady();
    Button("Command1")->click();
    Button("Command4")->click();
    EXPECT_EQ(fake.shell.opened,
              (QStringList{QDir(folder.path()).filePath("help/forum.html"),
                           QDir(folder.path()).filePath("help/resources.html")}));
}

TEST_F(Form1Test, RightClickOnTheResultListShowsTheMenu) {
    CreateReady();
    auto* menu = Find<QMenu>("menu");
    QWidget* viewport = ListView1()->viewport();
    QMouseEvent left(QEvent::MouseButtonPress, QPointF(5, 5), viewport->mapToGlobal(QPointF(5, 5)),
                     Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &left);
    EXPECT_FALSE(menu->isVisible());
    QMouseEvent right(QEvent::MouseButtonPress, QPointF(50, 200),
                      viewport->mapToGlobal(QPointF(50, 200)), Qt::RightButton, Qt::RightButton,
                      Qt::NoModifier);
    QApplication::sendEvent(viewport, &right);  // an empty part of the list
    EXPECT_TRUE(menu->isVisible());
    menu->hide();
}

// Whatever the font, a column is at least as wide as its design and shows every 11-digit
// number whole.
TEST(ColumnWidth, ElevenDigitsFitInAnyFont) {
    for (int pixels : {6, 10, 13, 20, 32}) {
        QFont font;
        font.setPixelSize(pixels);
        const QFontMetrics metrics(font);
        const int width = ColumnWidth(1300, metrics, {WidestNumber(metrics)}, 3);
        EXPECT_GE(width, 1300 / 15);
        for (const char* n : {"13800138000", "19999999999", "14444444444", "18080808080"})
            EXPECT_EQ(metrics.elidedText(n, Qt::ElideRight, width - 6), n) << pixels;
    }
}

// In the window's own font and style: the design widths at least, and a row's texts whole,
// a long city name included.
TEST_F(Form1Test, ColumnsFitWhatTheyShow) {
    CreateReady();
    AnswerWith("19912345678", "内蒙古", "西双版纳傣族自治州西双版纳傣族自治州", "0691", "666100",
               "中国移动虚拟运营商");
    fake.dialogs.ExpectInput(QStringLiteral("19912345678"));
    Option(0)->click();
    QTableView* list = ListView1();
    const QFontMetrics metrics = list->fontMetrics();
    const int margin = list->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, list) + 1;
    const QStringList row = Row(0);
    for (int c = 0; c < 6; ++c) {
        const int width = list->columnWidth(c);
        EXPECT_GE(width, ResultColumns()[static_cast<std::size_t>(c)].design_twips / 15) << c;
        EXPECT_EQ(metrics.elidedText(row[c], Qt::ElideRight, width - 2 * margin), row[c]) << c;
    }
}

TEST_F(Form1Test, SkinFileIsOptional) {
    CreateReady();
    EXPECT_TRUE(qApp->styleSheet().isEmpty());
    QFile skin(QDir(folder.path()).filePath("skinh.she"));
    ASSERT_TRUE(skin.open(QIODevice::WriteOnly));
    skin.write("QPushButton { color: #123456; }");
    skin.close();
    CreateReady();
    EXPECT_EQ(qApp->styleSheet(), QStringLiteral("QPushButton { color: #123456; }"));
    qApp->setStyleSheet(QString());
}

}  // namespace
}  // namespace numtrail::test
