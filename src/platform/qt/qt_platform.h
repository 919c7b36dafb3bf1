#pragma once

#include <memory>

#include "platform/clock.h"
#include "platform/files.h"
#include "platform/platform.h"
#include "platform/random.h"

class QWidget;

namespace numtrail {

class QtDialogs final : public Dialogs {
  public:
    MessageAnswer Message(const MessagePrompt& prompt) override;
    std::optional<QString> Input(const QString& prompt, const QString& title) override;
    std::optional<QString> OpenFile(const FileDialogPrompt& prompt) override;
    std::optional<QString> SaveFile(const FileDialogPrompt& prompt) override;
};

class QtShell final : public Shell {
  public:
    void OpenPage(const QString& address) override;
};

class QtClipboard final : public Clipboard {
  public:
    void Clear() override;
    void SetText(const QString& text) override;
    QString Text() const override;
};

class ImmediateProgramEnd final : public ProgramEnd {
  protected:
    [[noreturn]] void End() override;
};

// The real implementations, owned together for the program's whole life, with the fetcher
// the program makes (an HTTP client lives above this layer).
class QtPlatform {
  public:
    explicit QtPlatform(Fetcher& fetcher);
    Platform& Get() { return platform_; }

  private:
    QtDialogs dialogs_;
    QtShell shell_;
    QtClipboard clipboard_;
    ImmediateProgramEnd end_;
    SystemClock clock_;
    ProcessRandom random_;
    DiskFileStore files_;
    Platform platform_;
};

}  // namespace numtrail
