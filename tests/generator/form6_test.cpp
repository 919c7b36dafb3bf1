#include "generator/form6.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFocusEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QTemporaryDir>
#include <QWindow>
#include <memory>

#include "generator/generator_rules.h"
#include "support/fake_platform.h"

namespace numtrail::test {
namespace {

class Form6Test : public ::testing::Test {
  protected:
    Form6Test() : form(std::make_unique<Form6>(fake.platform)) {}

    template <typename T>
    T* Find(const char* name) const {
        T* w = form->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    QLineEdit* Text(int i) const {
        return Find<QLineEdit>(i == 1 ? "Text1" : i == 2 ? "Text2" : "Text3");
    }
    QListWidget* List1() const { return Find<QListWidget>("List1"); }

    // A focus change as the user makes it by clicking or tabbing elsewhere, unless another
    // reason is given.
    void LoseFocus(QLineEdit* field, Qt::FocusReason reason = Qt::TabFocusReason) {
        QFocusEvent event(QEvent::FocusOut, reason);
        QApplication::sendEvent(field, &event);
    }

    // Command1 with the "done" box answered.
    QStringList Generate() {
        fake.dialogs.ExpectMessage(MessageAnswer::Ok);
        Find<QPushButton>("Command1")->click();
        return form->Entries();
    }

    QByteArray ReadFile(const QString& path) const {
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
        return file.readAll();
    }
    void WriteFile(const QString& path, const QByteArray& bytes) const {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    FakePlatform fake;
    std::unique_ptr<Form6> form;
    QTemporaryDir folder;
};

TEST_F(Form6Test, DesignState) {
    EXPECT_EQ(form->objectName(), QStringLiteral("Form6"));
    EXPECT_EQ(form->windowTitle(), QStringLiteral("随机生成手机号码"));
    EXPECT_TRUE(form->windowIcon().isNull());
    EXPECT_EQ(Text(2)->text(), QStringLiteral("186"));
    EXPECT_EQ(Text(3)->text(), QStringLiteral("1000"));
    EXPECT_EQ(Text(3)->maxLength(), 5);
    EXPECT_EQ(Text(1)->text(), QStringLiteral("10"));
    EXPECT_EQ(Find<QPushButton>("Command1")->text(), QStringLiteral("开始生成"));
    EXPECT_EQ(Find<QPushButton>("Command2")->text(), QStringLiteral("导出列表"));
    EXPECT_EQ(List1()->count(), 0);
    auto* frame = qobject_cast<QGroupBox*>(List1()->parentWidget());
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->title(), QStringLiteral("列表"));

    QMap<QString, QString> labels;  // field → label text
    for (const QLabel* label : form->findChildren<QLabel*>())
        if (label->buddy()) labels[label->buddy()->objectName()] = label->text();
    EXPECT_EQ(labels.value("Text2"), QStringLiteral("请输入号码段:(例如:186)"));
    EXPECT_EQ(labels.value("Text3"), QStringLiteral("请输入随机数(防止号码重复):"));
    EXPECT_EQ(labels.value("Text1"), QStringLiteral("数量：(仅限最多1000个)："));
    EXPECT_TRUE(fake.dialogs.Prompts().empty());
}

TEST_F(Form6Test, CountIsRepairedAsItChanges) {
    const std::pair<const char*, const char*> cases[] = {
        {"1500", "1"}, {"0", "1"}, {"1000", "1000"}, {"abc", "1"}, {"", "1"}, {"25", "25"}};
    for (const auto& [typed, shown] : cases) {
        Text(1)->setText(QString::fromLatin1(typed));
        EXPECT_EQ(Text(1)->text(), QString::fromLatin1(shown)) << typed;
    }
    // Typed over a selection, one character at a time, every step is a valid count.
    Text(1)->selectAll();
    for (QChar c : QStringLiteral("500")) Text(1)->insert(QString(c));
    EXPECT_EQ(Text(1)->text(), QStringLiteral("500"));
}

TEST_F(Form6Test, ARepairRaisesOneFurtherChangeOnly) {
    int changes = 0;
    QObject::connect(Text(1), &QLineEdit::textChanged, form.get(), [&] { ++changes; });
    Text(1)->setText(QStringLiteral("1500"));  // the typed text, then "1"
    EXPECT_EQ(changes, 2);
    Text(1)->setText(QStringLiteral("1"));  // the same text again
    EXPECT_EQ(changes, 2);
}

TEST_F(Form6Test, PrefixIsRepairedAtOnceWhenNotNumericAndOnFocusLossWhenNotThreeLong) {
    Text(2)->setText(QString());
    EXPECT_EQ(Text(2)->text(), QStringLiteral("186"));
    Text(2)->setText(QStringLiteral("13x"));
    EXPECT_EQ(Text(2)->text(), QStringLiteral("186"));

    for (const char* typed : {"1391", "13"}) {
        Text(2)->setText(QString::fromLatin1(typed));
        EXPECT_EQ(Text(2)->text(), QString::fromLatin1(typed)) << "kept while typing";
        LoseFocus(Text(2));
        EXPECT_EQ(Text(2)->text(), QStringLiteral("186")) << typed;
    }
    Text(2)->setText(QStringLiteral("139"));
    LoseFocus(Text(2));
    EXPECT_EQ(Text(2)->text(), QStringLiteral("139"));
}

// A context menu or a switch to another program takes the focus without the user leaving
// the field: a half-typed prefix stays. A click on 开始生成 leaves it and repairs it first.
TEST_F(Form6Test, PrefixIsRepairedOnlyWhenTheFocusMovesWithinTheWindow) {
    for (const Qt::FocusReason reason : {Qt::PopupFocusReason, Qt::ActiveWindowFocusReason}) {
        Text(2)->setText(QStringLiteral("13"));
        LoseFocus(Text(2), reason);
        EXPECT_EQ(Text(2)->text(), QStringLiteral("13")) << reason;
    }

    form->show();
    QApplication::setActiveWindow(form.get());
    Text(2)->setFocus();
    ASSERT_TRUE(Text(2)->hasFocus());
    // The click goes to the window, which gives the focus to the button as a real one does.
    auto* command1 = Find<QPushButton>("Command1");
    const QPointF at = command1->mapTo(form.get(), QPointF(command1->rect().center()));
    QMouseEvent press(QEvent::MouseButtonPress, at, form->mapToGlobal(at), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, at, form->mapToGlobal(at), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    fake.dialogs.ExpectMessage(MessageAnswer::Ok);
    QApplication::sendEvent(form->windowHandle(), &press);
    QApplication::sendEvent(form->windowHandle(), &release);
    ASSERT_EQ(List1()->count(), 10);
    EXPECT_TRUE(List1()->item(0)->text().startsWith(QStringLiteral("186")));
}

// The list cannot be made again (the shared generator has moved on): Esc keeps the window
// open, and only the close box closes it.
TEST_F(Form6Test, EscKeepsTheWindowAndItsListOpen) {
    Generate();
    form->show();
    QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(Text(2), &esc);
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(List1()->count(), 10);
    form->close();
    EXPECT_FALSE(form->isVisible());
}

TEST_F(Form6Test, MultiplierIsRepairedAndLimitedToFiveCharacters) {
    Text(3)->setText(QString());
    EXPECT_EQ(Text(3)->text(), QStringLiteral("1000"));
    Text(3)->setText(QStringLiteral("x"));
    EXPECT_EQ(Text(3)->text(), QStringLiteral("1000"));
    Text(3)->setText(QStringLiteral("123456"));
    EXPECT_EQ(Text(3)->text(), QStringLiteral("12345"));
}

TEST_F(Form6Test, GeneratesTheCountOfEntriesFromThePrefix) {
    Text(2)->setText(QStringLiteral("139"));
    const QStringList entries = Generate();
    ASSERT_EQ(entries.size(), 10);
    for (const QString& entry : entries) {
        EXPECT_TRUE(entry.startsWith(QStringLiteral("139"))) << entry.toStdString();
        EXPECT_LE(entry.size(), 11) << entry.toStdString();
        EXPECT_GE(entry.size(), 9) << entry.toStdString();
    }
    EXPECT_EQ(form->LastEntry(), entries.last());

    ASSERT_EQ(fake.dialogs.Messages().size(), 1u);
    const RecordedPrompt done = fake.dialogs.Messages().front();
    EXPECT_EQ(done.text, QStringLiteral("生成完毕.."));
    EXPECT_EQ(done.title, QStringLiteral("Zu系列软件"));
    EXPECT_EQ(done.icon, MessageIcon::Information);
    EXPECT_EQ(done.buttons, MessageButtons::Ok);
}

TEST_F(Form6Test, DrawsTwoValuesPerEntryFromTheProcessGenerator) {
    Text(1)->setText(QStringLiteral("3"));
    const QStringList entries = Generate();
    ProcessRandom same_start;
    QStringList expected;
    for (int i = 0; i < 3; ++i) {
        const float r1 = same_start.NextRandom();
        const float r2 = same_start.NextRandom();
        expected << *MakeEntry(QStringLiteral("186"), 1000, r1, r2);
    }
    EXPECT_EQ(entries, expected);
    EXPECT_EQ(fake.random.NextRandom(), same_start.NextRandom());
}

TEST_F(Form6Test, FreshGeneratorsGiveTheSameFirstList) {
    const QStringList first = Generate();
    FakePlatform other;
    Form6 again(other.platform);
    other.dialogs.ExpectMessage(MessageAnswer::Ok);
    again.Generate();
    EXPECT_EQ(again.Entries(), first);
}

TEST_F(Form6Test, GeneratingAgainClearsTheListFirst) {
    Text(1)->setText(QStringLiteral("4"));
    const QStringList first = Generate();
    const QStringList second = Generate();
    EXPECT_EQ(second.size(), 4);
    EXPECT_NE(second, first);  // the generator goes on; only the list starts again
}

TEST_F(Form6Test, CountRoundsHalfToEven) {
    Text(1)->setText(QStringLiteral("2.5"));
    EXPECT_EQ(Generate().size(), 2);
    Text(1)->setText(QStringLiteral("1500"));
    EXPECT_EQ(Generate().size(), 1);
}

TEST_F(Form6Test, MultiplierZeroGivesPartA000Everywhere) {
    Text(3)->setText(QStringLiteral("0"));
    Text(1)->setText(QStringLiteral("50"));
    for (const QString& entry : Generate()) EXPECT_EQ(entry.mid(3, 3), QStringLiteral("000"));
}

TEST_F(Form6Test, AnOverflowingMultiplierStopsTheGenerationCleanly) {
    Generate();  // a list from before must not survive as if it were the new one
    fake.dialogs.Clear();
    Text(3)->setText(QStringLiteral("1e10"));
    ASSERT_EQ(Text(3)->text(), QStringLiteral("1e10"));
    fake.dialogs.ExpectMessage(MessageAnswer::Ok);
    form->Generate();
    EXPECT_EQ(List1()->count(), 0);
    ASSERT_EQ(fake.dialogs.Messages().size(), 1u);
    const RecordedPrompt stop = fake.dialogs.Messages().front();
    EXPECT_NE(stop.text, QStringLiteral("生成完毕.."));
    EXPECT_TRUE(stop.text.contains(QStringLiteral("随机数"))) << stop.text.toStdString();
    EXPECT_EQ(stop.title, QStringLiteral("Quorvel系列软件"));
    EXPECT_EQ(stop.icon, MessageIcon::Exclamation);

    Text(3)->setText(QStringLiteral("1000"));  // the window goes on working
    EXPECT_EQ(Generate().size(), 10);
}

TEST_F(Form6Test, SavingAnEmptyListOnlyTellsTheUser) {
    fake.dialogs.ExpectMessage(MessageAnswer::Ok);
    Find<QPushButton>("Command2")->click();
    ASSERT_EQ(fake.dialogs.Prompts().size(), 1u);
    const RecordedPrompt& p = fake.dialogs.Prompts().front();
    EXPECT_EQ(p.kind, RecordedPrompt::Kind::Message);
    EXPECT_EQ(p.text, QStringLiteral("没有可导出号码,请先进行生成"));
    EXPECT_EQ(p.title, QStringLiteral("Quorvel系列软件"));
    EXPECT_EQ(p.icon, MessageIcon::Information);
    EXPECT_EQ(fake.files.writes, 0);
}

TEST_F(Form6Test, CancellingTheSaveDialogWritesNothing) {
    Generate();
    fake.dialogs.Clear();
    fake.dialogs.ExpectSaveFile(std::nullopt);
    form->Save();
    ASSERT_EQ(fake.dialogs.Prompts().size(), 1u);
    const RecordedPrompt& p = fake.dialogs.Prompts().front();
    EXPECT_EQ(p.kind, RecordedPrompt::Kind::SaveFile);
    EXPECT_EQ(p.title, QStringLiteral("请选择您要保存的位置"));
    EXPECT_EQ(p.filter, QStringLiteral("文本文件（TXT）|*.txt"));
    EXPECT_EQ(fake.files.writes, 0);
}

TEST_F(Form6Test, SavedListIsOneCrLfLinePerEntryReplacingTheOldFile) {
    const QString path = folder.filePath(QStringLiteral("号码.txt"));
    WriteFile(path, QByteArray("an older and much longer list\r\n").repeated(10));
    Text(1)->setText(QStringLiteral("3"));
    const QStringList entries = Generate();
    fake.dialogs.Clear();
    fake.dialogs.ExpectSaveFile(path);
    fake.dialogs.ExpectMessage(MessageAnswer::Ok);
    Find<QPushButton>("Command2")->click();

    const QByteArray bytes = ReadFile(path);
    EXPECT_EQ(bytes, entries[0].toLatin1() + "\r\n" + entries[1].toLatin1() + "\r\n" +
                         entries[2].toLatin1() + "\r\n");
    EXPECT_EQ(bytes.count("\r\n"), 3);
    EXPECT_EQ(bytes.count('\r'), 3);
    EXPECT_EQ(bytes.count('\n'), 3);
    for (const QByteArray& line : bytes.split('\n').mid(0, 3))
        EXPECT_TRUE(line.startsWith("186") && line.endsWith('\r')) << line.toStdString();

    const RecordedPrompt saved = fake.dialogs.Messages().back();
    EXPECT_EQ(saved.text, QStringLiteral("号码保存成功!"));
    EXPECT_EQ(saved.title, QStringLiteral("Quorvel系列软件"));
    EXPECT_EQ(saved.icon, MessageIcon::Information);
}

TEST_F(Form6Test, AFailedSaveSaysSoAndKeepsTheOldFile) {
    const QString path = folder.filePath(QStringLiteral("list.txt"));
    WriteFile(path, "13900000000\r\n");
    fake.files.write_faults[path] = QStringLiteral("磁盘已满");
    Generate();
    fake.dialogs.Clear();
    fake.dialogs.ExpectSaveFile(path);
    fake.dialogs.ExpectMessage(MessageAnswer::Ok);
    form->Save();

    EXPECT_EQ(ReadFile(path), QByteArray("13900000000\r\n"));
    const RecordedPrompt failed = fake.dialogs.Messages().back();
    EXPECT_NE(failed.text, QStringLiteral("号码保存成功!"));
    EXPECT_TRUE(failed.text.contains(QDir::toNativeSeparators(path))) << failed.text.toStdString();
    EXPECT_TRUE(failed.text.contains(QStringLiteral("磁盘已满")));
    EXPECT_EQ(failed.title, QStringLiteral("Quorvel系列软件"));
    EXPECT_EQ(failed.icon, MessageIcon::Exclamation);
    EXPECT_EQ(List1()->count(), 10);  // the list stays for another try
}

}  // namespace
}  // namespace numtrail::test
