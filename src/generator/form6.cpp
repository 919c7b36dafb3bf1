#include "generator/form6.h"

#include <QDir>
#include <QEvent>
#include <QFocusEvent>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>
#include <utility>

#include "generator/generator_rules.h"
#include "platform/files.h"
#include "platform/random.h"
#include "product/product.h"

namespace numtrail {
namespace {

// The generator's "done" box alone carries this title; its save path uses the program's.
const QString kMessageTitle = QString::fromUtf8(product::kMessageTitle);
const QString kDoneTitle = QStringLiteral("Zu系列软件");

// The save dialog C1.
const QString kC1Title = QStringLiteral("请选择您要保存的位置");
const QString kC1Filter = QStringLiteral("文本文件（TXT）|*.txt");

QLineEdit* NewField(const QString& name, const QString& text, QWidget* parent) {
    auto* field = new QLineEdit(text, parent);
    field->setObjectName(name);
    return field;
}

QPushButton* NewButton(const QString& name, const QString& caption, QWidget* parent) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    // Enter in a field must not start a generation or a save behind the user's back.
    button->setAutoDefault(false);
    return button;
}

}  // namespace

Form6::Form6(Platform& platform, QWidget* parent) : QDialog(parent), platform_(platform) {
    CreateControls();
    Connect();
}

Form6::~Form6() = default;

void Form6::CreateControls() {
    setObjectName(QStringLiteral("Form6"));
    setWindowTitle(QStringLiteral("随机生成手机号码"));
    setWindowIcon(QIcon());  // the window shows no icon of its own

    Text2_ = NewField(QStringLiteral("Text2"), kDefaultPrefix, this);
    Text3_ = NewField(QStringLiteral("Text3"), kDefaultMultiplierText, this);
    Text3_->setMaxLength(kMultiplierMaxLength);
    Text1_ = NewField(QStringLiteral("Text1"), kDefaultCountText, this);
    label2_ = new QLabel(QStringLiteral("请输入号码段:(例如:186)"), this);
    label3_ = new QLabel(QStringLiteral("请输入随机数(防止号码重复):"), this);
    label1_ = new QLabel(QStringLiteral("数量：(仅限最多1000个)："), this);
    auto* fields = new QFormLayout;
    const std::pair<QLabel*, QLineEdit*> rows[] = {
        {label2_, Text2_}, {label3_, Text3_}, {label1_, Text1_}};
    for (auto [label, field] : rows) {
        label->setBuddy(field);
        fields->addRow(label, field);
    }

    Command1_ = NewButton(QStringLiteral("Command1"), QStringLiteral("开始生成"), this);
    Command2_ = NewButton(QStringLiteral("Command2"), QStringLiteral("导出列表"), this);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(Command1_);
    buttons->addWidget(Command2_);

    frame_ = new QGroupBox(QStringLiteral("列表"), this);
    List1_ = new QListWidget(frame_);
    List1_->setObjectName(QStringLiteral("List1"));
    auto* frame_layout = new QVBoxLayout(frame_);
    frame_layout->addWidget(List1_);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addLayout(buttons);
    layout->addWidget(frame_, 1);
    resize(300, 420);
}

void Form6::Connect() {
    connect(Text1_, &QLineEdit::textChanged, this, &Form6::OnText1Changed);
    connect(Text2_, &QLineEdit::textChanged, this, &Form6::OnText2Changed);
    connect(Text3_, &QLineEdit::textChanged, this, &Form6::OnText3Changed);
    Text2_->installEventFilter(this);
    connect(Command1_, &QPushButton::clicked, this, &Form6::Generate);
    connect(Command2_, &QPushButton::clicked, this, &Form6::Save);
}

bool Form6::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Text2_ && event->type() == QEvent::FocusOut &&
        IsFocusMoveWithinWindow(static_cast<QFocusEvent*>(event)->reason()))
        OnText2FocusLost();
    return QDialog::eventFilter(watched, event);
}

bool Form6::IsFocusMoveWithinWindow(Qt::FocusReason reason) {
    // A context menu or another program taking the focus is not the user leaving the field:
    // a half-typed prefix must survive it.
    return reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason &&
           reason != Qt::MenuBarFocusReason;
}

void Form6::keyPressEvent(QKeyEvent* event) {
    // Esc would close the window and throw away a list that cannot be made again (the
    // shared generator has moved on); only the close box closes it.
    if (event->matches(QKeySequence::Cancel)) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void Form6::OnText1Changed() { Repair(Text1_, RepairedCount(Text1_->text())); }
void Form6::OnText2Changed() { Repair(Text2_, RepairedPrefix(Text2_->text())); }
void Form6::OnText2FocusLost() { Repair(Text2_, RepairedPrefixOnFocusLoss(Text2_->text())); }
void Form6::OnText3Changed() { Repair(Text3_, RepairedMultiplier(Text3_->text())); }

void Form6::Repair(QLineEdit* field, const QString& repaired) {
    // Only a real change is written back, so the change it raises settles at once.
    if (field->text() != repaired) field->setText(repaired);
}

void Form6::Generate() {
    List1_->clear();
    const int count = GenerationCount(Text1_->text());
    // The repair keeps the field numeric; the fallback only guards a field set elsewhere.
    const double multiplier = NumericValue(Text3_->text()).value_or(0.0);
    for (int i = 1; i <= count; ++i) {
        const QString prefix = Text2_->text();
        const float r1 = platform_.random.NextRandom();
        const float r2 = platform_.random.NextRandom();
        const std::optional<QString> entry = MakeEntry(prefix, multiplier, r1, r2);
        if (!entry) {
            // A half-made list would look like a finished one; leave none behind.
            List1_->clear();
            Message(QStringLiteral("随机数过大,生成已停止!请输入较小的随机数(例如:1000)"),
                    kMessageTitle, MessageIcon::Exclamation);
            return;
        }
        last_entry_ = *entry;
        List1_->addItem(*entry);
    }
    Message(QStringLiteral("生成完毕.."), kDoneTitle, MessageIcon::Information);
}

void Form6::Save() {
    if (List1_->count() == 0) {
        Message(QStringLiteral("没有可导出号码,请先进行生成"), kMessageTitle,
                MessageIcon::Information);
        return;
    }
    const std::optional<QString> path =
        platform_.dialogs.SaveFile({kC1Title, kC1Filter, QString()});
    if (!path) return;
    const FileWriteResult written =
        platform_.files.WriteAtomically(*path, GeneratedListBytes(Entries()));
    if (!written.ok) {
        QString text = QStringLiteral("号码保存失败!无法写入文件[") +
                       QDir::toNativeSeparators(*path) + QStringLiteral("]");
        if (!written.error.isEmpty()) text += QStringLiteral("\r") + written.error;
        Message(text, kMessageTitle, MessageIcon::Exclamation);
        return;
    }
    Message(QStringLiteral("号码保存成功!"), kMessageTitle, MessageIcon::Information);
}

QStringList Form6::Entries() const {
    QStringList entries;
    for (int i = 0; i < List1_->count(); ++i) entries << List1_->item(i)->text();
    return entries;
}

MessageAnswer Form6::Message(const QString& text, const QString& title, MessageIcon icon) {
    return platform_.dialogs.Message({text, title, icon, MessageButtons::Ok});
}

}  // namespace numtrail
