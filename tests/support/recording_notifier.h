#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/notifier.h"

namespace numtrail::test {

struct Notice {
    std::u16string text;
    NoticeStyle style;
};

// Keeps every message box a class shows. Tests that do not care about them simply
// never look.
class RecordingNotifier final : public Notifier {
  public:
    RecordingNotifier() = default;
    // Every notice must come in this style; another one fails the running test.
    explicit RecordingNotifier(NoticeStyle only_style) : only_style_(only_style) {}

    void Notify(std::u16string_view text, NoticeStyle style) override {
        if (only_style_) {
            EXPECT_EQ(style, *only_style_);
        }
        notices.push_back({std::u16string(text), style});
    }

    std::vector<std::u16string> Texts() const {
        std::vector<std::u16string> texts;
        for (const auto& notice : notices) texts.push_back(notice.text);
        return texts;
    }

    std::vector<Notice> notices;

  private:
    std::optional<NoticeStyle> only_style_;
};

}  // namespace numtrail::test
