#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include "support/scripted_dialogs.h"

namespace numtrail::test {
namespace {

MessagePrompt Prompt(const QString& text) {
    return {text, QStringLiteral("T"), MessageIcon::Information, MessageButtons::Ok};
}

TEST(ScriptedDialogs, AnswersInOrderAndRecordsEveryPrompt) {
    ScriptedDialogs dialogs;
    dialogs.ExpectMessage(MessageAnswer::Yes);
    dialogs.ExpectInput(QString());
    dialogs.ExpectInput(std::nullopt);
    dialogs.ExpectOpenFile(QStringLiteral("/tmp/a.txt"));
    EXPECT_EQ(dialogs.Message({QStringLiteral("a\rb"), QStringLiteral("t"),
                               MessageIcon::Exclamation, MessageButtons::YesNoCancel}),
              MessageAnswer::Yes);
    EXPECT_EQ(dialogs.Input(QStringLiteral("p"), QStringLiteral("t")),
              QString());  // accepted empty
    EXPECT_EQ(dialogs.Input(QStringLiteral("p"), QStringLiteral("t")), std::nullopt);  // cancelled
    EXPECT_EQ(
        dialogs.OpenFile({QStringLiteral("t"), QStringLiteral("f|*.x"), QStringLiteral("/d")}),
        QStringLiteral("/tmp/a.txt"));
    ASSERT_EQ(dialogs.Prompts().size(), 4u);
    EXPECT_EQ(dialogs.Prompts()[0].text, QStringLiteral("a\rb"));
    EXPECT_EQ(dialogs.Prompts()[0].icon, MessageIcon::Exclamation);
    EXPECT_EQ(dialogs.Prompts()[3].folder, QStringLiteral("/d"));
}

TEST(ScriptedDialogs, UnexpectedPromptFailsTheTest) {
    EXPECT_NONFATAL_FAILURE(
        {
            ScriptedDialogs dialogs;
            dialogs.Message(Prompt(QStringLiteral("surprise")));
        },
        "unexpected prompt: surprise");
    EXPECT_NONFATAL_FAILURE(
        {
            ScriptedDialogs dialogs;
            dialogs.ExpectInput(QStringLiteral("x"));
            dialogs.Message(Prompt(QStringLiteral("wrong kind")));
            dialogs.Clear();
        },
        "unexpected prompt");
}

TEST(ScriptedDialogs, UnusedAnswerFailsTheTest) {
    EXPECT_NONFATAL_FAILURE(
        {
            ScriptedDialogs dialogs;
            dialogs.ExpectMessage(MessageAnswer::Ok);
        },
        "left unused");
}

}  // namespace
}  // namespace numtrail::test
