// The number list import and the window's side of the batch runner: its buttons, lists and
// progress bar.
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <utility>

#include "app/form1.h"
#include "lookup/batch_progress.h"
#include "platform/files.h"
#include "platform/throttle.h"
#include "results/number_list.h"

namespace numtrail {
namespace {

// How often the window shows where a fast run stands: more often is more than the eye can read.
constexpr int kBatchShownEveryMs = 100;

// Wide enough for "12345/100000，剩余约1小时5分"; the summary widens it (and narrows the message
// line) up to the most the message line can spare.
constexpr int kProgressMinWidth = 170;
constexpr int kProgressMaxWidth = 360;

}  // namespace

void Form1::ConnectBatch() {
    // A list of a hundred thousand numbers scrolls and fills without measuring each line.
    List1_->setUniformItemSizes(true);
    connect(Command2_, &QPushButton::clicked, this, &Form1::OnImportClicked);
    connect(Combo1_, &QComboBox::activated, batch_, &BatchRunner::ChooseSpeed);
    connect(Command3_, &QPushButton::clicked, batch_, &BatchRunner::StartStop);
    progress_ = new BatchProgress(*batch_, {}, this);
    // After the progress, so that the window shows a new state with the progress it brings.
    connect(batch_, &BatchRunner::StateChanged, this, &Form1::ReflectBatchState);
    batch_shown_ = new Throttle(
        kBatchShownEveryMs, [this] { ShowBatch(); }, this);
    connect(progress_, &BatchProgress::Changed, batch_shown_, &Throttle::Request);
    // By keyboard or mouse; a click on the entry that is already current counts too.
    connect(List1_, &QListWidget::currentRowChanged, batch_, &BatchRunner::EntryPicked);
    connect(List1_, &QListWidget::itemPressed, batch_, &BatchRunner::EntryPicked);
}

void Form1::OnImportClicked() {
    const std::optional<QString> path = platform_.dialogs.OpenFile(
        {QStringLiteral("请选择手机号码文件"), QStringLiteral("文本文件（TXT）|*.txt"),
         settings_.program_folder});
    if (!path) return;
    if (!LoadListFromFile(*List1_, *path)) return;
    batch_->ListReplaced();
    ShowListCount();
    SetMessage(QStringLiteral("号码列表加载成功!"));
}

// Replaces the entries of the list with those of the file. The file is read whole first,
// so a file that cannot be read leaves the list as it was.
bool Form1::LoadListFromFile(QListWidget& list, const QString& path) {
    const FileReadResult file = platform_.files.ReadAll(path);
    if (!file.ok) {
        const QString failed =
            QStringLiteral("无法读取手机号码文件[") + QDir::toNativeSeparators(path);
        Message(failed + QStringLiteral("]!\r") + file.error, MessageIcon::Exclamation);
        SetMessage(failed + QStringLiteral("].."));  // not the last import's success
        return false;
    }
    const QStringList entries = SplitNumberList(file.bytes);
    list.clear();
    list.addItems(entries);  // in one go: one layout pass, not one per entry
    return true;
}

void Form1::ShowListCount() {
    Frame4_->setTitle(QStringLiteral("批量查询：") + QString::number(List1_->count()) +
                      QStringLiteral("个手机号码"));
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
    if (entry_to_show_ >= 0) List1_->setCurrentRow(std::exchange(entry_to_show_, -1));
    panels_[1]->setText(message_);
    ShowProgress();
}

void Form1::ShowProgress() {
    if (!progress_->Begun()) return;
    ProgressBar1_->setRange(0, progress_->Total());
    ProgressBar1_->setValue(progress_->Done());
    QString text = progress_->Text();
    const int width = ProgressBar1_->fontMetrics().horizontalAdvance(text) + 24;
    ProgressBar1_->setFixedWidth(std::clamp(width, kProgressMinWidth, kProgressMaxWidth));
    ProgressBar1_->setFormat(text.replace(u'%', QStringLiteral("%%")));  // % starts a placeholder
    ProgressBar1_->setToolTip(progress_->ToolTip());
    // The warning colours the bar; without it the bar has no colours of its own.
    const bool warning = progress_->Warning();
    if (warning != ProgressBar1_->property("warning").toBool()) {
        ProgressBar1_->setProperty("warning", warning);
        QPalette palette;
        if (warning) palette.setColor(QPalette::Highlight, QColor(0xd9, 0x53, 0x4f));
        ProgressBar1_->setPalette(palette);
    }
    ProgressBar1_->show();
}

int Form1::EntryCount() const { return List1_->count(); }

int Form1::CurrentEntry() const {
    return entry_to_show_ >= 0 ? entry_to_show_ : List1_->currentRow();
}

QString Form1::EntryText(int index) const {
    const QListWidgetItem* entry = List1_->item(index);
    return entry ? entry->text() : QString();
}

void Form1::SelectEntry(int index) {
    entry_to_show_ = index;
    if (BatchRunning())
        batch_shown_->Request();
    else
        ShowBatch();
}

LookupOutcome Form1::LookUp(const QString& n) {
    if (!PassesNumberCheck(n)) return {LookupOutcome::Kind::WrongFormat, {}};
    return LookupNumber(n, QueryMode::Batch);
}

}  // namespace numtrail
