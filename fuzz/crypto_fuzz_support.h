#pragma once

#include <string>

#include "platform/notifier.h"

// A notifier that swallows the message boxes the cipher classes would show.
class SilentNotifier final : public numtrail::Notifier {
  public:
    void Notify(std::u16string_view, numtrail::NoticeStyle) override {}
};

inline std::u16string AsText(const std::uint8_t* data, std::size_t size) {
    return std::u16string(data, data + size);  // one code unit per byte, like typed hex text
}
