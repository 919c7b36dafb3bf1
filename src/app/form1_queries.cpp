// The two query modes: the single query, the number list import and the window's side of the
// batch runner (its buttons, lists and progress bar).
#include <QButtonGroup>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QRadioButton>
#include <utility>

#include "app/batch_progress_bar.h"
#include "app/form1.h"
#include "lookup/batch_progress.h"
#include "lookup/number_lookup.h"
#include "platform/files.h"
#include "platform/throttle.h"
#include "results/entry_list_model.h"
#include "results/number_list.h"

namespace numtrail {
namespace {

// How often the window shows where a fast run stands: more often is more than the eye can read.
constexpr int kBatchShownEveryMs = 100;
// A list file is read whole before its entries are made; a larger file is no list anyone
// keeps, and would take the memory of the whole machine.
constexpr qint64 kMaxListFileBytes = qint64{2} << 30;

}  // namespace

void Form1::ConnectQueries() {
    connect(option_group_, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
        if (checked) OnOptionSelected(id);  // switching an option off runs nothing
    });
    // A list of a hundred thousand numbers scrolls and fills without measuring each line.
    List1_->setUniformItemSizes(true);
    connect(Command2_, &QPushButton::clicked, this, &Form1::OnImportClicked);
    connect(Combo1_, &QComboBox::activated, batch_, &BatchRunner::ChooseSpeed);
    connect(Command3_, &QPushButton::clicked, batch_, &BatchRunner::StartStop);
    // After the progress, so that the window shows a new state with the progress it brings.
    connect(batch_, &BatchRunner::StateChanged, this, &Form1::ReflectBatchState);
    batch_shown_ = new Throttle(
        kBatchShownEveryMs, [this] { ShowBatch(); }, this);
    connect(progress_, &BatchProgress::Changed, batch_shown_, &Throttle::Request);
    // By keyboard or mouse; a click on the entry that is already current counts too.
    connect(List1_->selectionModel(), &QItemSelectionModel::currentRowChanged, batch_,
            &BatchRunner::EntryPicked);
    connect(List1_, &QListView::pressed, batch_, &BatchRunner::EntryPicked);
}

void Form1::OnOptionSelected(int index) {
    if (index == 1) {
        // An import under a run that is on (running or finished) would make the run skip
        // the first entries of the new list; the stop enables it again.
        Command2_->setEnabled(batch_->state() == BatchRunner::State::Idle);
        Command3_->setEnabled(true);
        Command8_->setEnabled(true);
        return;
    }
    RunSingleQuery();
}

void Form1::RunSingleQuery() {
    Command2_->setEnabled(false);
    const std::optional<QString> entry = platform_.dialogs.Input(
        QStringLiteral("请输入您要查询的手机号码"), QStringLiteral("请输入您要查询的手机号码"));
    if (!entry)
        SetMessage(QStringLiteral("您已取消查询!"));
    else if (entry->isEmpty())
        SetMessage(QStringLiteral("请输入手机号码!"));
    else if (const QString n = CleanNumberEntry(*entry); PassesNumberCheck(n, QueryMode::Single))
        lookup_->LookUp(n, QueryMode::Single);
    // Switched off like a push button; an exclusive group cannot be left without a selection,
    // so that is lifted for the moment.
    option_group_->setExclusive(false);
    Option4_[0]->setChecked(false);
    option_group_->setExclusive(true);
}

bool Form1::PassesNumberCheck(const QString& n, QueryMode mode) {
    switch (CheckNumber(n)) {
        case NumberCheck::Ok:
            return true;
        case NumberCheck::WrongLength:
            SetMessage(QStringLiteral("手机号码位数不正确!"));
            return false;
        case NumberCheck::NotDigits:
            // A batch runs unattended: a box for each bad line of a list would stop it until
            // someone clicks OK. Its summary counts them instead.
            if (mode == QueryMode::Single)
                Message(QStringLiteral("您输入的内容错误!手机号为纯数字!"),
                        MessageIcon::Exclamation);
            SetMessage(QStringLiteral("您输入的内容错误!手机号为纯数字!"));
            return false;
    }
    return false;
}

void Form1::OnImportClicked() {
    const std::optional<QString> path = platform_.dialogs.OpenFile(
        {QStringLiteral("请选择手机号码文件"),
         QStringLiteral("文本文件（TXT）|*.txt|"
                        "号码列表（TXT、CSV、XLSX、XLS、VCF）|*.txt;*.csv;*.xlsx;*.xls;*.vcf|"
                        "所有文件|*"),
         settings_.program_folder});
    if (!path || !LoadListFromFile(*entries_, *path)) return;
    batch_->ListReplaced();
    Frame4_->setTitle(QStringLiteral("批量查询：") + QString::number(entries_->rowCount()) +
                      QStringLiteral("个手机号码"));
    SetMessage(QStringLiteral("号码列表加载成功!"));
}

// Replaces the entries of the list with those of the file. The file is read whole first,
// so a file that cannot be read, or holds no list, leaves the list as it was.
bool Form1::LoadListFromFile(EntryListModel& list, const QString& path) {
    const QString name = QDir::toNativeSeparators(path);
    // The panel says it too, rather than keep the last import's success.
    const auto refuse = [this](const QString& what, const QString& why) {
        Message(
            what + QStringLiteral("!") + (why.isEmpty() ? QString() : QStringLiteral("\r") + why),
            MessageIcon::Exclamation);
        SetMessage(what + QStringLiteral(".."));
        return false;
    };
    const FileReadResult file = platform_.files.ReadAll(path, kMaxListFileBytes);
    if (file.too_large)
        return refuse(
            QStringLiteral("手机号码文件[") + name + QStringLiteral("]超过2 GiB，不能导入"), {});
    if (!file.ok)
        return refuse(QStringLiteral("无法读取手机号码文件[") + name + QStringLiteral("]"),
                      file.error);
    NumberListRead read = ReadNumberList(file.bytes);
    if (read.refusal) {
        const QString detail = QString::fromStdString(read.refusal->detail);
        if (read.refusal->why == ListFileRefusal::Why::NoList)
            return refuse(QStringLiteral("文件[") + name + QStringLiteral("]中没有号码列表"),
                          detail);
        return refuse(QStringLiteral("无法读取工作簿[") + name + QStringLiteral("]"), detail);
    }
    list.Replace(std::move(read.entries));
    return true;
}

void Form1::ReflectBatchState(BatchRunner::State state) {
    // A run that starts or stops shows where it stands at once: a stopped one before the user
    // can act on the lists again.
    ShowBatch();
    const bool idle = state == BatchRunner::State::Idle;
    Command3_->setText(idle ? QStringLiteral("开始查询") : QStringLiteral("停止查询"));
    for (QWidget* w : std::initializer_list<QWidget*>{Command2_, List1_, Combo1_})
        w->setEnabled(idle);
}

bool Form1::BatchRunning() const { return batch_->state() == BatchRunner::State::Running; }

void Form1::ShowBatch() {
    if (entry_to_show_ >= 0)
        List1_->setCurrentIndex(entries_->index(std::exchange(entry_to_show_, -1)));
    panels_[1]->setText(message_);
    ProgressBar1_->Follow();
}

int Form1::EntryCount() const { return entries_->rowCount(); }

int Form1::CurrentEntry() const {
    return entry_to_show_ >= 0 ? entry_to_show_ : List1_->currentIndex().row();
}

QString Form1::EntryText(int index) const {
    return index >= 0 && index < entries_->rowCount() ? entries_->entries().At(index) : QString();
}

void Form1::SelectEntry(int index) {
    entry_to_show_ = index;
    if (BatchRunning())
        batch_shown_->Request();
    else
        ShowBatch();
}

LookupOutcome Form1::LookUp(const QString& n) {
    if (!PassesNumberCheck(n, QueryMode::Batch)) return {LookupOutcome::Kind::WrongFormat, {}};
    return lookup_->LookUp(n, QueryMode::Batch);
}

}  // namespace numtrail
