// The number list import and the batch runner.
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QListWidget>
#include <QPushButton>
#include <QScopeGuard>
#include <QScopedValueRollback>
#include <QTimer>

#include "app/form1.h"
#include "lookup/batch_pace.h"
#include "platform/files.h"
#include "results/number_list.h"

namespace numtrail {
namespace {

const QString kStartCaption = QStringLiteral("开始查询");
const QString kStopCaption = QStringLiteral("停止查询");

}  // namespace

void Form1::ConnectBatch() {
    // A list of a hundred thousand numbers scrolls and fills without measuring each line.
    List1_->setUniformItemSizes(true);
    connect(Command2_, &QPushButton::clicked, this, &Form1::OnImportClicked);
    connect(Combo1_, &QComboBox::activated, this, &Form1::OnSpeedChosen);
    connect(Command3_, &QPushButton::clicked, this, &Form1::OnStartStopClicked);
    connect(Timer5_, &QTimer::timeout, this, &Form1::OnBatchTick);
    // By keyboard or mouse; a click on the entry that is already current counts too.
    const auto picked = [this] {
        if (!selecting_entry_) start_picked_ = true;
    };
    connect(List1_, &QListWidget::currentRowChanged, this, picked);
    connect(List1_, &QListWidget::itemPressed, this, picked);
}

void Form1::OnImportClicked() {
    const std::optional<QString> path = platform_.dialogs.OpenFile(
        {QStringLiteral("请选择手机号码文件"), QStringLiteral("文本文件（TXT）|*.txt"),
         settings_.program_folder});
    if (!path) return;
    {
        const QScopedValueRollback<bool> runner_moves(selecting_entry_, true);
        if (!LoadListFromFile(*List1_, *path)) return;
    }
    ++list_generation_;
    fresh_run_ = true;
    start_picked_ = false;
    ShowListCount();
    SetMessage(QStringLiteral("号码列表加载成功!"));
}

// Replaces the entries of the list with those of the file. The file is read whole first,
// so a file that cannot be read leaves the list as it was.
bool Form1::LoadListFromFile(QListWidget& list, const QString& path) {
    const FileReadResult file = platform_.files.ReadAll(path);
    if (!file.ok) {
        Message(QStringLiteral("无法读取手机号码文件[") + QDir::toNativeSeparators(path) +
                    QStringLiteral("]!\r") + file.error,
                MessageIcon::Exclamation);
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

void Form1::OnSpeedChosen(int index) {
    Timer5_->setInterval(SpeedIntervalMs(index));
    SetMessage(SpeedMessage(Combo1_->itemText(index)));
}

void Form1::OnStartStopClicked() {
    if (List1_->count() == 0) {
        const QString text = QStringLiteral("请先导入手机号码后在进行批量查询!");
        SetMessage(text);
        Message(text, MessageIcon::Information);
        return;
    }
    if (Command3_->text() == kStartCaption)
        StartBatch();
    else
        StopBatch();
}

void Form1::StartBatch() {
    Command3_->setText(kStopCaption);
    Command2_->setEnabled(false);
    List1_->setEnabled(false);
    Combo1_->setEnabled(false);
    // A fresh list, or one that has been worked through, starts from the top unless the
    // user picked an entry since; a stopped run goes on from its selected entry.
    int start = List1_->currentRow();
    if ((fresh_run_ && !start_picked_) || start < 0) start = 0;
    fresh_run_ = false;
    BatchIndex_ = start;
    SelectEntry(start);
    Timer5_->start();
    SetMessage(QStringLiteral("开始批量查询.."));
}

void Form1::StopBatch() {
    Command3_->setText(kStartCaption);
    Command2_->setEnabled(true);
    Combo1_->setEnabled(true);
    Timer5_->stop();
    List1_->setEnabled(true);
    SetMessage(QStringLiteral("批量查询已停止.."));
}

void Form1::OnBatchTick() {
    // The fetch and the message boxes run the event loop. A stop and a start meanwhile
    // give the timer fresh ticks, which would ask for the same entry a second time.
    if (tick_running_) return;
    tick_running_ = true;
    const auto done = qScopeGuard([this] { tick_running_ = false; });

    // The entry is read once: while this tick waits, a stop enables the list and the user
    // may select another entry, but the answer belongs to the number that was asked for.
    const int batch_index = BatchIndex_;
    const int generation = list_generation_;
    const QListWidgetItem* entry = List1_->currentItem();
    const QString n = entry ? entry->text() : QString();

    if (!PassesNumberCheck(n)) {
        AdvanceBatch(batch_index, generation);
        return;
    }
    switch (LookupNumber(n, LookupMode::Batch)) {
        case LookupOutcome::NoAnswer:
            return;  // the next tick asks again for the same entry
        case LookupOutcome::RateLimited: {
            const QString text = QStringLiteral("查询受限,请等待片刻点击继续查询..");
            SetMessage(text);
            // The stop itself, not the button's handler: a run the user already stopped
            // during the fetch must not be started again.
            StopBatch();
            if (generation == list_generation_ && BatchIndex_ == batch_index)
                SelectEntry(batch_index);  // the next start asks for this entry first
            Message(text, MessageIcon::Information);
            return;
        }
        case LookupOutcome::NoProvince:
            SetMessage(QStringLiteral("无效手机号码,自动跳转下一个"));
            AdvanceBatch(batch_index, generation);
            return;
        case LookupOutcome::Done:
            AdvanceBatch(batch_index, generation);
            return;
    }
}

// Moves on from the entry a tick has consumed. When, while the tick waited, a new list was
// imported or the user started again from another entry, that choice stands.
void Form1::AdvanceBatch(int entry_index, int list_generation) {
    if (list_generation != list_generation_ || BatchIndex_ != entry_index) return;
    BatchIndex_ = entry_index + 1;
    if (BatchIndex_ >= List1_->count()) {
        SetMessage(QStringLiteral("所有手机号码已查询完毕!"));
        Timer5_->stop();
        BatchIndex_ = 0;
        fresh_run_ = true;
        start_picked_ = false;
        return;
    }
    SelectEntry(BatchIndex_);
}

void Form1::SelectEntry(int index) {
    const QScopedValueRollback<bool> runner_moves(selecting_entry_, true);
    List1_->setCurrentRow(index);
}

}  // namespace numtrail
