#include "support/scripted_dialogs.h"

#include <gtest/gtest.h>

namespace numtrail::test {

ScriptedDialogs::~ScriptedDialogs() {
    EXPECT_TRUE(answers_.empty()) << answers_.size() << " scripted answer(s) left unused";
}

void ScriptedDialogs::ExpectMessage(MessageAnswer answer) {
    answers_.push_back({RecordedPrompt::Kind::Message, answer, false, {}});
}
void ScriptedDialogs::ExpectInput(std::optional<QString> answer) {
    answers_.push_back({RecordedPrompt::Kind::Input, {}, answer.has_value(), answer.value_or("")});
}
void ScriptedDialogs::ExpectOpenFile(std::optional<QString> answer) {
    answers_.push_back(
        {RecordedPrompt::Kind::OpenFile, {}, answer.has_value(), answer.value_or("")});
}
void ScriptedDialogs::ExpectSaveFile(std::optional<QString> answer) {
    answers_.push_back(
        {RecordedPrompt::Kind::SaveFile, {}, answer.has_value(), answer.value_or("")});
}

std::vector<RecordedPrompt> ScriptedDialogs::Messages() const {
    std::vector<RecordedPrompt> messages;
    for (const auto& p : prompts_)
        if (p.kind == RecordedPrompt::Kind::Message) messages.push_back(p);
    return messages;
}

void ScriptedDialogs::Clear() {
    answers_.clear();
    prompts_.clear();
}

std::optional<ScriptedDialogs::Answer> ScriptedDialogs::Take(RecordedPrompt::Kind kind,
                                                             const QString& what) {
    if (answers_.empty() || answers_.front().kind != kind) {
        ADD_FAILURE() << "unexpected prompt: " << what.toStdString();
        return std::nullopt;
    }
    Answer answer = std::move(answers_.front());
    answers_.pop_front();
    return answer;
}

MessageAnswer ScriptedDialogs::Message(const MessagePrompt& prompt) {
    prompts_.push_back({RecordedPrompt::Kind::Message,
                        prompt.text,
                        prompt.title,
                        prompt.icon,
                        prompt.buttons,
                        {},
                        {}});
    const auto answer = Take(RecordedPrompt::Kind::Message, prompt.text);
    if (!answer)
        return prompt.buttons == MessageButtons::Ok ? MessageAnswer::Ok : MessageAnswer::Cancel;
    return answer->message;
}

std::optional<QString> ScriptedDialogs::Input(const QString& prompt, const QString& title) {
    prompts_.push_back({RecordedPrompt::Kind::Input,
                        prompt,
                        title,
                        MessageIcon::None,
                        MessageButtons::Ok,
                        {},
                        {}});
    const auto answer = Take(RecordedPrompt::Kind::Input, prompt);
    return answer && answer->accepted ? std::optional(answer->text) : std::nullopt;
}

std::optional<QString> ScriptedDialogs::OpenFile(const FileDialogPrompt& prompt) {
    prompts_.push_back({RecordedPrompt::Kind::OpenFile,
                        {},
                        prompt.title,
                        MessageIcon::None,
                        MessageButtons::Ok,
                        prompt.filter,
                        prompt.folder});
    const auto answer = Take(RecordedPrompt::Kind::OpenFile, prompt.title);
    return answer && answer->accepted ? std::optional(answer->text) : std::nullopt;
}

std::optional<QString> ScriptedDialogs::SaveFile(const FileDialogPrompt& prompt) {
    prompts_.push_back({RecordedPrompt::Kind::SaveFile,
                        {},
                        prompt.title,
                        MessageIcon::None,
                        MessageButtons::Ok,
                        prompt.filter,
                        prompt.folder,
                        prompt.default_suffix});
    const auto answer = Take(RecordedPrompt::Kind::SaveFile, prompt.title);
    if (!answer || !answer->accepted) return std::nullopt;
    return WithDefaultSuffix(answer->text, prompt.default_suffix);
}

}  // namespace numtrail::test
