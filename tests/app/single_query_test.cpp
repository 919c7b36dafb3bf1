#include "app/form1_fixture.h"

namespace numtrail::test {
namespace {

const QString kAsk = QStringLiteral("请输入您要查询的手机号码");

class SingleQueryTest : public Form1Test {
  protected:
    void Query(std::optional<QString> entry) {
        fake.dialogs.ExpectInput(std::move(entry));
        Option(0)->click();
    }
};

TEST_F(SingleQueryTest, FullAnswerBecomesTheSelectedTopRow) {
    CreateReady();
    AnswerWith("13800138000", "北京", "北京", "010", "100000", "中国移动");
    Query(QStringLiteral("13800138000"));
    EXPECT_EQ(Row(0), (QStringList{"13800138000", "北京", "北京", "010", "100000", "中国移动"}));
    EXPECT_TRUE(TopRowSelected());
    EXPECT_EQ(Panel2(), QStringLiteral("查询完毕.."));
    const RecordedPrompt ask = fake.dialogs.Prompts().at(0);
    EXPECT_EQ(ask.text, kAsk);
    EXPECT_EQ(ask.title, kAsk);
    EXPECT_EQ(fake.fetcher.urls.last(), QueryUrl("13800138000"));

    // The option works like a push button: a second click queries again, above the first.
    AnswerWith("13912345678", "江苏", "常州", "0519", "213000", "中国移动");
    Query(QStringLiteral("13912345678"));
    EXPECT_EQ(RowCount(), 2);
    EXPECT_EQ(Row(0).first(), QStringLiteral("13912345678"));
    EXPECT_EQ(Row(1).first(), QStringLiteral("13800138000"));
    EXPECT_FALSE(Option(0)->isChecked());
}

TEST_F(SingleQueryTest, RejectedEntriesEndWithTheirPanelText) {
    CreateReady();
    Query(std::nullopt);
    EXPECT_EQ(Panel2(), QStringLiteral("您已取消查询!"));
    Query(QString());
    EXPECT_EQ(Panel2(), QStringLiteral("请输入手机号码!"));
    Query(QStringLiteral("138001380001"));
    EXPECT_EQ(Panel2(), QStringLiteral("手机号码位数不正确!"));
    EXPECT_TRUE(fake.dialogs.Messages().empty());

    fake.dialogs.ExpectInput(QStringLiteral("1380013800a"));
    fake.dialogs.ExpectMessage(MessageAnswer::Ok);
    Option(0)->click();
    ASSERT_EQ(fake.dialogs.Messages().size(), 1u);
    EXPECT_EQ(fake.dialogs.Messages()[0].text, QStringLiteral("您输入的内容错误!手机号为纯数字!"));
    EXPECT_EQ(fake.dialogs.Messages()[0].icon, MessageIcon::Exclamation);
    EXPECT_EQ(Panel2(), QStringLiteral("您输入的内容错误!手机号为纯数字!"));

    EXPECT_EQ(RowCount(), 0);
    EXPECT_EQ(fake.fetcher.urls.size(), 1);  // only the manifest
}

TEST_F(SingleQueryTest, TypedNumberIsCleanedFirst) {
    CreateReady();
    for (const char* typed : {"+86 138-0013-8000", "１３８００１３８０００"}) {
        AnswerWith("13800138000", "北京", "北京", "010", "100000", "中国移动");
        Query(QString::fromUtf8(typed));
    }
    ASSERT_EQ(RowCount(), 2);
    EXPECT_EQ(Row(0).first(), QStringLiteral("13800138000"));
    EXPECT_EQ(Row(1).first(), QStringLiteral("13800138000"));
    EXPECT_EQ(fake.fetcher.urls.mid(1),
              (QStringList{QueryUrl("13800138000"), QueryUrl("13800138000")}));
}

TEST_F(SingleQueryTest, AnswerWithoutProvinceLeavesTheNumberAlone) {
    CreateReady();
    AnswerWith("13800138000", "", "北京", "010", "", "");
    Query(QStringLiteral("13800138000"));
    EXPECT_EQ(Row(0), (QStringList{"13800138000", "", "", "", "", ""}));
    EXPECT_EQ(Panel2(), QStringLiteral("手机号码[13800138000]查询中..."));
}

TEST_F(SingleQueryTest, FailedFetchWritesNoRow) {
    CreateReady();
    fake.fetcher.Fail(QStringLiteral("Connection refused"));
    Query(QStringLiteral("13800138000"));
    EXPECT_EQ(RowCount(), 0);
    EXPECT_EQ(Panel2(), QStringLiteral("手机号码[13800138000]查询中..."));
    EXPECT_TRUE(form->Slots()[0].isEmpty());
}

TEST_F(SingleQueryTest, SingleOptionWhileBatchSelectedLeavesNoSelection) {
    CreateReady();
    ASSERT_TRUE(Option(1)->isChecked());
    Query(std::nullopt);
    EXPECT_FALSE(Button("Command2")->isEnabled());
    EXPECT_TRUE(Button("Command3")->isEnabled());
    EXPECT_TRUE(Button("Command8")->isEnabled());
    EXPECT_FALSE(Option(0)->isChecked());
    EXPECT_FALSE(Option(1)->isChecked());
    Option(1)->click();  // selecting batch mode again runs its handling
    EXPECT_TRUE(Button("Command2")->isEnabled());
}

}  // namespace
}  // namespace numtrail::test
