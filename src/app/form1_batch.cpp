// The number list import and the window's side of the batch runner.
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QListWidget>
#include <QPushButton>

#include "app/form1.h"
#include "platform/files.h"
#include "results/number_list.h"

namespace numtrail {

void Form1::ConnectBatch() {
    // A list of a hundred thousand numbers scrolls and fills without measuring each line.
    List1_->setUniformItemSizes(true);
    connect(Command2_, &QPushButton::clicked, this, &Form1::OnImportClicked);
    connect(Combo1_, &QComboBox::activated, batch_, &BatchRunner::ChooseSpeed);
    connect(Command3_, &QPushButton::clicked, batch_, &BatchRunner::StartStop);
    connect(batch_, &BatchRunner::StateChanged, this, &Form1::ReflectBatchState);
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
    const bool idle = state == BatchRunner::State::Idle;
    Command3_->setText(idle ? QStringLiteral("开始查询") : QStringLiteral("停止查询"));
    for (QWidget* w : std::initializer_list<QWidget*>{Command2_, List1_, Combo1_})
        w->setEnabled(idle);
}

int Form1::EntryCount() const { return List1_->count(); }

int Form1::CurrentEntry() const { return List1_->currentRow(); }

QString Form1::EntryText(int index) const {
    const QListWidgetItem* entry = List1_->item(index);
    return entry ? entry->text() : QString();
}

void Form1::SelectEntry(int index) { List1_->setCurrentRow(index); }

LookupOutcome Form1::LookUp(const QString& n) {
    if (!PassesNumberCheck(n)) return {LookupOutcome::Kind::WrongFormat, {}};
    return LookupNumber(n, LookupMode::Batch);
}

}  // namespace numtrail
