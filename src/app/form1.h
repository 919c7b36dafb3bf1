#pragma once

#include <QPointer>
#include <QSet>
#include <QString>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

#include "lookup/batch_runner.h"
#include "lookup/lookup_rules.h"
#include "platform/platform.h"
#include "results/result_journal.h"
#include "results/result_store.h"

class QButtonGroup;
class QComboBox;
class QGroupBox;
class QLabel;
class QListWidget;
class QMenu;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QStatusBar;
class QTableView;

namespace numtrail {

class BatchProgress;
class ResultJournal;
class ResultListModel;
class SummaryDialog;
class Throttle;

// What the main window needs to know about its surroundings.
struct Form1Settings {
    QString lookup_url;      // the attribution endpoint, without query
    QString update_url;      // the update server, without the manifest path
    QString program_folder;  // where the skin, the help pages and the file dialogs start
    QString journal_folder;  // where the results journal goes; empty: no journal
    QString help_folder;     // where the help pages lie when not in the program folder
};

// The main window: result list, pending number list, the controls of both query modes,
// the status bar, start-up and shut-down. The batch runner works the pending list through
// the window's lookup and tells it how the run stands.
class Form1 : public QWidget, private BatchHost {
  public:
    Form1(Platform& platform, Form1Settings settings);
    ~Form1() override;

    // The start-up sequence: skin, speed list, show, update check.
    void Load();

    // The update check: fetch the manifest, then unlock the window or announce a newer
    // version and end the program.
    void gx();

    QString PanelText(int panel) const;  // status bar panels 1 to 3
    // Every result row, top (newest) first, as the list holds it.
    const ResultStore& Results() const;
    // Says which data answers the lookups, as panel 3's tooltip; the panel's text stays.
    void SetDataSourceToolTip(const QString& text);
    QuerySlots& Slots() { return query_slots_; }

  protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // construction
    void CreateControls();
    void CreateResultList();
    void CreateStatusBar();
    void CreateMenu();
    void Connect();

    // start-up and shut-down
    void AttachSkin();
    void FillSpeedList();
    void MakeReady();
    bool ConfirmExit();  // false: the user cancelled
    void OpenHelpPage(const QString& relative_path);

    // mode options
    void OnOptionSelected(int index);
    void RunSingleQuery();
    void SwitchOffOption(int index);

    // lookup shared by the single query and the batch tick
    bool PassesNumberCheck(const QString& n);
    LookupOutcome LookupNumber(const QString& n, QueryMode mode);
    // The one place a result row is written: into the journal, then on top of the list.
    void AddResultRow(const LookupResult& result, QueryMode mode);
    void JournalRow(const LookupResult& result, QueryMode mode);
    void ShowTopRow();
    void SelectWaitingRow();

    // result list columns (form1_results.cpp)
    int TextMargin() const;
    void FitColumns();
    void WidenColumnsFor(const LookupResult& row);

    void ShowPopupMenu(const QPoint& global_position);
    void SetMessage(const QString& text);  // panel 2, the message line
    MessageAnswer Message(const QString& text, MessageIcon icon,
                          MessageButtons buttons = MessageButtons::Ok);

    Platform& platform_;
    const Form1Settings settings_;
    QuerySlots query_slots_;

    QGroupBox* Frame5_ = nullptr;
    QRadioButton* Option4_[2] = {nullptr, nullptr};
    QButtonGroup* option_group_ = nullptr;
    QGroupBox* Frame4_ = nullptr;
    QListWidget* List1_ = nullptr;
    QPushButton* Command2_ = nullptr;
    QPushButton* Command3_ = nullptr;
    QPushButton* Command8_ = nullptr;
    QGroupBox* Frame2_ = nullptr;
    QTableView* ListView1_ = nullptr;
    ResultListModel* results_ = nullptr;
    // The row to select once the view shows it, counted from the top; -1: none.
    int row_to_select_ = -1;
    QSet<QString> measured_texts_;  // field values the columns are known to be wide enough for
    QPushButton* Command1_ = nullptr;
    QPushButton* Command4_ = nullptr;
    QPushButton* Command5_ = nullptr;
    QLabel* Label1_ = nullptr;
    QComboBox* Combo1_ = nullptr;
    QLabel* Label2_ = nullptr;
    QStatusBar* S1_ = nullptr;
    QLabel* panels_[3] = {nullptr, nullptr, nullptr};
    QProgressBar* ProgressBar1_ = nullptr;  // the batch's progress, beside the panels
    QString message_;                       // panel 2's text, which it shows at the latest
                                            // a moment later while a batch runs
    QWidget* Picture1_ = nullptr;
    QLabel* Label6_ = nullptr;
    QMenu* menu_ = nullptr;
    BatchRunner* batch_ = nullptr;  // owns Timer5
    BatchProgress* progress_ = nullptr;
    // While a batch runs, the message line, the pending list's selection and the progress bar
    // follow it a few times a second rather than at every entry: repainting them thousands of
    // times a second would cost more than the look-ups.
    Throttle* batch_shown_ = nullptr;
    int entry_to_show_ = -1;  // the entry the runner selected, until the list shows it
    std::unique_ptr<ResultJournal> journal_;
    bool journal_failure_shown_ = false;
    QPointer<SummaryDialog> summary_;

    // result list operations, export and clipboard copy (form1_results.cpp)
    void cpp();    // copy the selected result to the clipboard
    void ycxxx();  // remove the selected row
    void dcqb();   // export every row to a file the user names
    void cll();    // clear the list after asking
    void dccsv();  // export every row as a CSV table
    void dcxls();  // export every row as an Excel table
    void tjtb();   // charts of the rows' provinces and card types
    // Every row in list order, newest first: what the tables and the charts are made of.
    QList<LookupResult> ResultRows() const;
    // The rows as a table in a file of the given filter and suffix.
    using TableFile =
        std::function<std::optional<QByteArray>(const QList<QStringList>& table, QString* error)>;
    void ExportTable(const QString& filter, const QString& suffix, const TableFile& make);
    // Asks where to save, builds the file (nullopt with *error set when that fails) and writes
    // it whole or not at all; `done` is the success text without its "!" or "..".
    void SaveExport(const QString& filter, const QString& suffix,
                    const std::function<std::optional<QByteArray>(QString* error)>& build,
                    const QString& done);
    void ReportExportFailure(const QString& path, const QString& error);
    // false with *error empty: no rows, nothing touched; false with *error set: not written.
    bool ExportListViewContent(const ResultStore& rows, const QString& strFilePath, QString* error);
    int SelectedRow() const;  // the selected row of the view, -1 when none is
    // number list import and the batch runner's side of the window (form1_batch.cpp)
    void ConnectBatch();
    void OnImportClicked();  // Command2
    bool LoadListFromFile(QListWidget& list, const QString& path);
    void ShowListCount();
    void ReflectBatchState(BatchRunner::State state);
    bool BatchRunning() const;
    void ShowBatch();
    void ShowProgress();
    int EntryCount() const override;
    int CurrentEntry() const override;
    QString EntryText(int index) const override;
    void SelectEntry(int index) override;
    LookupOutcome LookUp(const QString& n) override;
    void ShowMessage(const QString& text) override { SetMessage(text); }
    void Notify(const QString& text) override { Message(text, MessageIcon::Information); }
};

}  // namespace numtrail
