#pragma once

#include <string_view>

namespace numtrail {

// How a cipher class's message box looks. The classes name no title of their own; the
// program's default title shows.
enum class NoticeStyle {
    Plain,        // OK button, no icon
    Critical,     // OK button, critical-error icon
    Exclamation,  // OK button, exclamation icon
};

// Where the cipher and digest classes send the message boxes they show. The program
// hands them its dialog layer; the command line and the tests hand them their own.
class Notifier {
  public:
    virtual ~Notifier() = default;
    virtual void Notify(std::u16string_view text, NoticeStyle style) = 0;
};

}  // namespace numtrail
