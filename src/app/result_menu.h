#pragma once

#include <QMenu>
#include <QPointer>
#include <functional>
#include <optional>

#include "platform/platform.h"

namespace numtrail {

class ResultStore;
class ResultView;
class SummaryDialog;

// The result list's pop-up menu ("菜单") and its commands: copy one result to the clipboard,
// remove one row, export every row as text, CSV or Excel, clear the list, the charts of the
// list, and the end of the program (which the window carries out). Every item carries its
// design name. Messages go to the window's message boxes and message line.
class ResultMenu final : public QMenu {
    Q_OBJECT

  public:
    ResultMenu(Platform& platform, ResultView& view, QString folder,
               std::function<void(const QString&)> show_message, QWidget* window);

  signals:
    void QuitRequested();  // endd

  private:
    void cpp();    // copy the selected result to the clipboard
    void ycxxx();  // remove the selected row
    void dcqb();   // export every row to a file the user names
    void cll();    // clear the list after asking
    void dccsv();  // export every row as a CSV table
    void dcxls();  // export every row as an Excel table
    void tjtb();   // charts of the rows' provinces and card types

    // Asks where to save, builds the file (nullopt with *error set when that fails) and writes
    // it whole or not at all; `done` is the success text without its "!" or "..".
    using FileBytes = std::function<std::optional<QByteArray>(QString* error)>;
    void SaveExport(const QString& filter, const QString& suffix, const FileBytes& build,
                    const QString& done);
    void ReportExportFailure(const QString& path, const QString& error);
    // false, after saying so, when there are no rows.
    bool HasRows(const QString& none);
    const ResultStore& Rows() const;
    MessageAnswer Message(const QString& text, MessageIcon icon,
                          MessageButtons buttons = MessageButtons::Ok);

    Platform& platform_;
    ResultView& view_;
    const QString folder_;  // where the save dialogs start
    std::function<void(const QString&)> show_message_;
    QPointer<SummaryDialog> summary_;
};

}  // namespace numtrail
