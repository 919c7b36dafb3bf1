#pragma once

#include <QString>
#include <deque>
#include <optional>
#include <vector>

#include "platform/platform.h"

namespace numtrail::test {

// One prompt the program showed, as the dialog layer received it.
struct RecordedPrompt {
    enum class Kind { Message, Input, OpenFile, SaveFile } kind;
    QString text;  // message text or input prompt
    QString title;
    MessageIcon icon = MessageIcon::None;
    MessageButtons buttons = MessageButtons::Ok;
    QString filter;  // file dialogs
    QString folder;
    QString default_suffix = {};
};

// Answers modal boxes from a script instead of showing them. Each Expect... queues the
// answer to the next prompt of that kind, in order. A prompt with no answer queued, or of
// another kind than the next answer, fails the test (and gets a cancel-like answer);
// answers left unused fail the test when the double is destroyed.
class ScriptedDialogs final : public Dialogs {
  public:
    ~ScriptedDialogs() override;

    void ExpectMessage(MessageAnswer answer);
    void ExpectInput(std::optional<QString> answer);
    void ExpectOpenFile(std::optional<QString> answer);
    // The path the user picks or types; a save dialog adds the prompt's default suffix to a
    // name without one, as the real dialog does.
    void ExpectSaveFile(std::optional<QString> answer);

    const std::vector<RecordedPrompt>& Prompts() const { return prompts_; }
    std::vector<RecordedPrompt> Messages() const;  // the message boxes only
    std::size_t Pending() const { return answers_.size(); }
    void Clear();

    MessageAnswer Message(const MessagePrompt& prompt) override;
    std::optional<QString> Input(const QString& prompt, const QString& title) override;
    std::optional<QString> OpenFile(const FileDialogPrompt& prompt) override;
    std::optional<QString> SaveFile(const FileDialogPrompt& prompt) override;

  private:
    struct Answer {
        RecordedPrompt::Kind kind;
        MessageAnswer message = MessageAnswer::Ok;  // a message box
        bool accepted = false;                      // the input box and the file dialogs
        QString text;
    };
    std::optional<Answer> Take(RecordedPrompt::Kind kind, const QString& what);

    std::deque<Answer> answers_;
    std::vector<RecordedPrompt> prompts_;
};

}  // namespace numtrail::test
