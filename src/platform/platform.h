#pragma once

#include <QString>
#include <cstdlib>
#include <optional>

namespace numtrail {

class Clock;
class FileStore;
class ProcessRandom;

enum class MessageIcon { None, Information, Exclamation, Critical };
enum class MessageButtons { Ok, YesNo, YesNoCancel };
enum class MessageAnswer { Ok, Yes, No, Cancel };

// A message box as the program asks for it. The text is exactly the program's (a lone CR
// stays a lone CR); how it is drawn is the dialog layer's business.
struct MessagePrompt {
    QString text;
    QString title;
    MessageIcon icon = MessageIcon::None;
    MessageButtons buttons = MessageButtons::Ok;
};

// A file dialog filter in the program's "description|pattern" form, e.g. "文本文件（TXT）|*.txt".
struct FileDialogPrompt {
    QString title;
    QString filter;
    QString folder;
    // For a save dialog: the suffix ("csv") a name the user typed without one gets, before
    // the dialog asks about replacing a file. Empty: the name is taken exactly as typed.
    QString default_suffix = {};
};

// Modal boxes. Every text is shown as plain text, never as HTML.
class Dialogs {
  public:
    virtual ~Dialogs() = default;
    virtual MessageAnswer Message(const MessagePrompt& prompt) = 0;
    // The accepted text (possibly empty), or nullopt when the box was cancelled.
    virtual std::optional<QString> Input(const QString& prompt, const QString& title) = 0;
    // The chosen path, or nullopt when the dialog was cancelled.
    virtual std::optional<QString> OpenFile(const FileDialogPrompt& prompt) = 0;
    virtual std::optional<QString> SaveFile(const FileDialogPrompt& prompt) = 0;
};

// Opens a web page (or a local help page) in the system's browser. Failures are silent.
class Shell {
  public:
    virtual ~Shell() = default;
    virtual void OpenPage(const QString& address) = 0;
};

class Clipboard {
  public:
    virtual ~Clipboard() = default;
    virtual void Clear() = 0;
    virtual void SetText(const QString& text) = 0;
    virtual QString Text() const = 0;
};

// Ends the program at once: no close event, no confirmation, and nothing after the call
// runs, pending fetches and other windows included.
class ProgramEnd {
  public:
    virtual ~ProgramEnd() = default;
    [[noreturn]] void EndNow() {
        End();
        std::abort();  // End() never comes back
    }

  protected:
    virtual void End() = 0;
};

// The outcome of one HTTP GET: the body (possibly empty), or why there is none.
struct FetchResult {
    bool ok = false;
    QString body;
    QString failure;  // a short reason, when !ok
};

// Fetches a URL as text. A failure comes back as a reason, never as an exception. The wait
// runs the event loop, so window events, timer ticks and even another fetch run inside it;
// a nested fetch completes before the outer one returns.
class Fetcher {
  public:
    virtual ~Fetcher() = default;
    virtual FetchResult Fetch(const QString& url) = 0;
};

// Everything a window needs from the machine, handed in through its constructor.
struct Platform {
    Dialogs& dialogs;
    Shell& shell;
    Clipboard& clipboard;
    ProgramEnd& end;
    Clock& clock;
    ProcessRandom& random;
    FileStore& files;
    Fetcher& fetcher;
};

// "文本文件（TXT）|*.txt" → "文本文件（TXT） (*.txt)"; pairs of description and pattern.
QString ToQtFileFilter(const QString& filter);

// "/d/out" → "/d/out.csv"; a name that has a suffix ("out.txt") and an empty suffix leave the
// path as it is.
QString WithDefaultSuffix(const QString& path, const QString& suffix);

}  // namespace numtrail
