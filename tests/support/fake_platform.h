#pragma once

#include <QMap>
#include <QString>
#include <QStringList>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <stdexcept>

#include "platform/files.h"
#include "platform/platform.h"
#include "platform/random.h"
#include "support/fixed_clock.h"
#include "support/scripted_dialogs.h"
#include "support/scripted_fetcher.h"

namespace numtrail::test {

class RecordingShell final : public Shell {
  public:
    void OpenPage(const QString& address) override { opened << address; }
    QStringList opened;
};

class MemoryClipboard final : public Clipboard {
  public:
    void Clear() override {
        ++clears;
        if (!refuse) text_.clear();
    }
    void SetText(const QString& text) override {
        if (!refuse) text_ = text;
    }
    QString Text() const override { return text_; }
    bool refuse = false;  // held by another program: changes nothing, keeps what it holds
    int clears = 0;

  private:
    QString text_;
};

// Thrown by RecordingProgramEnd so that nothing after "end the program" runs.
struct ProgramEnded {};

// Records the end and unwinds to the test. An exception cannot cross Qt's event dispatch,
// so an end that happens inside an event handler run by the event loop (a timer during a
// fetch) is tested in a death test with `exit_process` set: the process then really ends,
// with "program ended" on standard error and exit code 3.
class RecordingProgramEnd final : public ProgramEnd {
  public:
    int ended = 0;
    bool exit_process = false;
    std::function<void()> before_exit;  // with exit_process: report state before the end

  protected:
    [[noreturn]] void End() override {
        ++ended;
        if (exit_process) {
            if (before_exit) before_exit();
            std::fputs("program ended\n", stderr);
            std::fflush(stderr);
            std::_Exit(3);
        }
        throw ProgramEnded{};
    }
};

// The real disk store, with faults injected per path instead of through permissions
// (tests run as root, which ignores them).
class FaultyFileStore final : public FileStore {
  public:
    FileReadResult ReadAll(const QString& path, qint64 max_bytes) override {
        if (read_faults.contains(path)) return {false, {}, read_faults.value(path)};
        return disk_.ReadAll(path, max_bytes);
    }
    FileWriteResult WriteAtomically(const QString& path, const QByteArray& bytes) override {
        ++writes;
        if (write_faults.contains(path)) return {false, write_faults.value(path)};
        return disk_.WriteAtomically(path, bytes);
    }
    QMap<QString, QString> read_faults;  // path → error text
    QMap<QString, QString> write_faults;
    int writes = 0;

  private:
    DiskFileStore disk_;
};

// A full set of doubles with the Platform bundle over them.
struct FakePlatform {
    ScriptedDialogs dialogs;
    RecordingShell shell;
    MemoryClipboard clipboard;
    RecordingProgramEnd end;
    FixedClock clock;
    ProcessRandom random;
    FaultyFileStore files;
    ScriptedFetcher fetcher;
    Platform platform{dialogs, shell, clipboard, end, clock, random, files, fetcher};
};

}  // namespace numtrail::test
