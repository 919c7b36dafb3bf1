#pragma once

#include <QString>
#include <QWidget>
#include <memory>

#include "lookup/batch_runner.h"
#include "lookup/lookup_rules.h"
#include "platform/platform.h"
#include "results/result_journal.h"
#include "results/result_store.h"

class QButtonGroup;
class QComboBox;
class QGroupBox;
class QLabel;
class QListView;
class QPushButton;
class QRadioButton;
class QStatusBar;

namespace numtrail {

namespace attribution {
class Attributor;
}
class AnswerSource;
class BatchProgress;
class BatchProgressBar;
class EntryListModel;
class NumberLookup;
class ResultJournal;
class ResultMenu;
class ResultView;
class Throttle;

// What the main window needs to know about its surroundings.
struct Form1Settings {
    QString lookup_url;      // the attribution endpoint, without query; empty: `attributor`
    QString update_url;      // the update server, without the manifest path; empty: no check
    QString program_folder;  // where the skin, the help pages and the file dialogs start
    QString journal_folder;  // where the results journal goes; empty: no journal
    int journal_days = 30;   // the journal's days kept
    QString help_folder;     // where the help pages lie when not in the program folder
    // Answers the lookups in the program itself when there is no endpoint.
    attribution::Attributor* attributor = nullptr;
};

// The main window: result list, pending number list, the controls of both query modes,
// the status bar, start-up and shut-down. The batch runner works the pending list through
// the number lookup and tells the window how the run stands.
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

  private:
    // construction (form1.cpp)
    void CreateControls();
    void CreateStatusBar();
    void Connect();
    // start-up and shut-down
    void AttachSkin();
    void MakeReady();
    bool ConfirmExit();  // false: the user cancelled
    void OpenHelpPage(const QString& relative_path);
    void SetMessage(const QString& text);  // panel 2, the message line
    MessageAnswer Message(const QString& text, MessageIcon icon,
                          MessageButtons buttons = MessageButtons::Ok);

    // the queries: mode options, single query, import, the runner's side (form1_queries.cpp)
    void ConnectQueries();
    void OnOptionSelected(int index);
    void RunSingleQuery();
    // Says why an entry fails: in panel 2, and for a single query in a box too.
    bool PassesNumberCheck(const QString& n, QueryMode mode);
    void OnImportClicked();  // Command2
    bool LoadListFromFile(EntryListModel& list, const QString& path);
    void ReflectBatchState(BatchRunner::State state);
    bool BatchRunning() const;
    void ShowBatch();
    int EntryCount() const override;
    int CurrentEntry() const override;
    QString EntryText(int index) const override;
    void SelectEntry(int index) override;
    LookupOutcome LookUp(const QString& n) override;
    void ShowMessage(const QString& text) override { SetMessage(text); }
    void Notify(const QString& text) override { Message(text, MessageIcon::Information); }

    Platform& platform_;
    const Form1Settings settings_;
    QuerySlots query_slots_;

    QRadioButton* Option4_[2] = {nullptr, nullptr};
    QButtonGroup* option_group_ = nullptr;
    QGroupBox* Frame4_ = nullptr;
    QListView* List1_ = nullptr;
    EntryListModel* entries_ = nullptr;  // List1's entries
    QPushButton* Command2_ = nullptr;
    QPushButton* Command3_ = nullptr;
    QPushButton* Command8_ = nullptr;
    ResultView* ListView1_ = nullptr;
    QPushButton* Command1_ = nullptr;
    QPushButton* Command4_ = nullptr;
    QPushButton* Command5_ = nullptr;
    QComboBox* Combo1_ = nullptr;
    QStatusBar* S1_ = nullptr;
    QLabel* panels_[3] = {nullptr, nullptr, nullptr};
    QString message_;  // panel 2's text, which it shows a moment later while a batch runs
    QWidget* Picture1_ = nullptr;
    ResultMenu* menu_ = nullptr;

    std::unique_ptr<ResultJournal> journal_;
    std::unique_ptr<AnswerSource> answers_;
    NumberLookup* lookup_ = nullptr;
    BatchRunner* batch_ = nullptr;  // owns Timer5
    BatchProgress* progress_ = nullptr;
    BatchProgressBar* ProgressBar1_ = nullptr;
    // While a batch runs, the message line, the pending list's selection and the progress bar
    // follow it a few times a second rather than at every entry: repainting them thousands of
    // times a second would cost more than the look-ups.
    Throttle* batch_shown_ = nullptr;
    int entry_to_show_ = -1;  // the entry the runner selected, until the list shows it
};

}  // namespace numtrail
