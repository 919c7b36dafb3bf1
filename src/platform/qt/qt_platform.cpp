#include "platform/qt/qt_platform.h"

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QUrl>
#include <cstdio>
#include <cstdlib>

namespace numtrail {
namespace {

// The program's texts use a lone CR (or CR LF) as a line break; a plain-text label
// only breaks at LF.
QString ForDisplay(QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

QMessageBox::Icon ToQtIcon(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::Information:
            return QMessageBox::Information;
        case MessageIcon::Exclamation:
            return QMessageBox::Warning;
        case MessageIcon::Critical:
            return QMessageBox::Critical;
        case MessageIcon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

QWidget* ActiveWindow() { return QApplication::activeWindow(); }

}  // namespace

MessageAnswer QtDialogs::Message(const MessagePrompt& prompt) {
    QMessageBox box(ActiveWindow());
    box.setWindowTitle(prompt.title);
    box.setTextFormat(Qt::PlainText);
    box.setText(ForDisplay(prompt.text));
    box.setIcon(ToQtIcon(prompt.icon));
    switch (prompt.buttons) {
        case MessageButtons::Ok:
            box.setStandardButtons(QMessageBox::Ok);
            break;
        case MessageButtons::YesNo:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            break;
        case MessageButtons::YesNoCancel:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
            box.setEscapeButton(QMessageBox::Cancel);
            break;
    }
    switch (box.exec()) {
        case QMessageBox::Yes:
            return MessageAnswer::Yes;
        case QMessageBox::No:
            return MessageAnswer::No;
        case QMessageBox::Cancel:
            return MessageAnswer::Cancel;
        default:
            break;
    }
    // Escape or the close box on a Yes/No box counts as No; elsewhere as the only button.
    return prompt.buttons == MessageButtons::Ok      ? MessageAnswer::Ok
           : prompt.buttons == MessageButtons::YesNo ? MessageAnswer::No
                                                     : MessageAnswer::Cancel;
}

std::optional<QString> QtDialogs::Input(const QString& prompt, const QString& title) {
    QInputDialog dialog(ActiveWindow());
    dialog.setWindowTitle(title);
    dialog.setLabelText(prompt);
    for (QLabel* label : dialog.findChildren<QLabel*>()) label->setTextFormat(Qt::PlainText);
    dialog.setInputMode(QInputDialog::TextInput);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.textValue();
}

std::optional<QString> QtDialogs::OpenFile(const FileDialogPrompt& prompt) {
    const QString path = QFileDialog::getOpenFileName(ActiveWindow(), prompt.title, prompt.folder,
                                                      ToQtFileFilter(prompt.filter));
    if (path.isEmpty()) return std::nullopt;
    return path;
}

std::optional<QString> QtDialogs::SaveFile(const FileDialogPrompt& prompt) {
    QFileDialog dialog(ActiveWindow(), prompt.title, prompt.folder, ToQtFileFilter(prompt.filter));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    // Qt's own dialog adds the suffix before it asks about replacing a file; a system dialog
    // may not, so the name it returns gets the suffix too.
    dialog.setDefaultSuffix(prompt.default_suffix);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    const QString path = dialog.selectedFiles().value(0);
    if (path.isEmpty()) return std::nullopt;
    return WithDefaultSuffix(path, prompt.default_suffix);
}

void QtShell::OpenPage(const QString& address) {
    QDesktopServices::openUrl(QUrl::fromUserInput(address));
}

void QtClipboard::Clear() { QGuiApplication::clipboard()->clear(); }
void QtClipboard::SetText(const QString& text) { QGuiApplication::clipboard()->setText(text); }
QString QtClipboard::Text() const { return QGuiApplication::clipboard()->text(); }

void ImmediateProgramEnd::End() {
    std::fflush(stdout);
    std::fflush(stderr);
    // Ending at once means ending here: no close events, no destructors of windows that
    // are in the middle of a handler, and nothing pending gets to run.
    std::_Exit(0);
}

QtPlatform::QtPlatform(Fetcher& fetcher)
    : platform_{dialogs_, shell_, clipboard_, end_, clock_, random_, files_, fetcher} {}

}  // namespace numtrail
