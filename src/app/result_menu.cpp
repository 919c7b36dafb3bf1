#include "app/result_menu.h"

#include "app/result_view.h"
#include "app/summary_dialog.h"
#include "platform/files.h"
#include "product/product.h"
#include "results/clipboard_block.h"
#include "results/export_format.h"
#include "results/result_list_model.h"
#include "results/result_summary.h"
#include "tables/xlsx.h"

namespace numtrail {
namespace {

// Compares what the clipboard hands back with what was put on it. Some systems give CR LF
// back as LF, which is still the text the user will paste.
bool SameClipboardText(QString a, QString b) { return a.remove(u'\r') == b.remove(u'\r'); }

QByteArray Bytes(const std::string& bytes) {
    return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

}  // namespace

ResultMenu::ResultMenu(Platform& platform, ResultView& view, QString folder,
                       std::function<void(const QString&)> show_message, QWidget* window)
    : QMenu(QStringLiteral("菜单"), window),
      platform_(platform),
      view_(view),
      folder_(std::move(folder)),
      show_message_(std::move(show_message)) {
    setObjectName(QStringLiteral("menu"));
    const std::tuple<const char*, QString, void (ResultMenu::*)()> items[] = {
        {"cpp", QStringLiteral("复制此号信息"), &ResultMenu::cpp},
        {"ycxxx", QStringLiteral("移除此项信息"), &ResultMenu::ycxxx},
        {"dcqb", QStringLiteral("导出全部信息"), &ResultMenu::dcqb},
        {"cll", QStringLiteral("清空查询列表"), &ResultMenu::cll},
        {"dccsv", QStringLiteral("导出为CSV表格..."), &ResultMenu::dccsv},
        {"dcxls", QStringLiteral("导出为Excel表格..."), &ResultMenu::dcxls},
        {"tjtb", QStringLiteral("统计图表..."), &ResultMenu::tjtb},
        {"endd", QStringLiteral("退出应用程序"), &ResultMenu::QuitRequested}};
    for (const auto& [name, caption, handler] : items) {
        if (!isEmpty()) addSeparator();
        QAction* item = addAction(caption);
        item->setObjectName(QString::fromLatin1(name));
        connect(item, &QAction::triggered, this, handler);
    }
    connect(&view_, &ResultView::MenuRequested, this, [this](const QPoint& at) { popup(at); });
}

const ResultStore& ResultMenu::Rows() const { return view_.Results().Store(); }

MessageAnswer ResultMenu::Message(const QString& text, MessageIcon icon, MessageButtons buttons) {
    return platform_.dialogs.Message(
        {text, QString::fromUtf8(product::kMessageTitle), icon, buttons});
}

bool ResultMenu::HasRows(const QString& none) {
    if (!Rows().IsEmpty()) return true;
    Message(none, MessageIcon::Information);
    return false;
}

void ResultMenu::cpp() {
    const int row = view_.SelectedRow();
    const QString number = row >= 0 ? view_.Results().CellAt(row, 0) : QString();
    if (number.isEmpty()) {
        Message(QStringLiteral("请先查询再进行复制操作!"), MessageIcon::Exclamation);
        return;
    }
    const QString block = ClipboardBlock(view_.Results().RowAt(row));
    platform_.clipboard.Clear();
    platform_.clipboard.SetText(block);
    // A clipboard held open by another program may refuse the text; saying "copied" then
    // would leave the user pasting something else.
    const bool copied = SameClipboardText(platform_.clipboard.Text(), block);
    const QString text = QStringLiteral("手机号码:[") + number +
                         (copied ? QStringLiteral("]信息已复制到剪贴板!")
                                 : QStringLiteral("]信息未能复制到剪贴板!请稍后再试!"));
    Message(text, copied ? MessageIcon::Information : MessageIcon::Exclamation);
    show_message_(text);
}

void ResultMenu::ycxxx() {
    const int row = view_.SelectedRow();
    const QString number = row >= 0 ? view_.Results().CellAt(row, 0) : QString();
    if (number.isEmpty()) {
        Message(QStringLiteral("请选择您要删除列表项!"), MessageIcon::Exclamation);
        return;
    }
    view_.Results().Remove(row);
    // The view moves the selection to a neighbour, which a second remove would then delete
    // without the user ever picking it.
    view_.selectionModel()->clear();
    show_message_(QStringLiteral("手机号码:[") + number + QStringLiteral("]信息已被移除..."));
}

void ResultMenu::cll() {
    // A running batch goes on and puts its next results into the emptied list.
    if (Message(QStringLiteral("是否确定清空查询列表?"), MessageIcon::Information,
                MessageButtons::YesNo) == MessageAnswer::Yes)
        view_.Results().Clear();
}

void ResultMenu::dcqb() {
    if (!HasRows(QStringLiteral("没有可导出的数据!"))) return;
    const std::optional<QString> path = platform_.dialogs.SaveFile(
        {QStringLiteral("请选择您要保存的位置"), QStringLiteral("文本文件（TXT）|*.txt"), folder_});
    if (!path) {
        Message(QStringLiteral("已取消保存"), MessageIcon::Information);
        return;
    }
    // Written whole or not at all: a failed write leaves the file that was there.
    const FileWriteResult written = platform_.files.WriteAtomically(*path, ExportBytes(Rows()));
    if (!written.ok) return ReportExportFailure(*path, written.error);
    Message(QStringLiteral("成功导出全部数据!"), MessageIcon::Information);
    show_message_(QStringLiteral("成功导出全部数据.."));
}

void ResultMenu::dccsv() {
    if (!HasRows(QStringLiteral("没有可导出的数据!"))) return;
    SaveExport(
        QStringLiteral("CSV表格（CSV）|*.csv"), QStringLiteral("csv"),
        [this](QString*) { return std::optional(Bytes(tables::CsvTable(Rows().AsTable()))); },
        QStringLiteral("成功导出全部数据"));
}

void ResultMenu::dcxls() {
    if (!HasRows(QStringLiteral("没有可导出的数据!"))) return;
    SaveExport(
        QStringLiteral("Excel表格（XLSX）|*.xlsx"), QStringLiteral("xlsx"),
        [this](QString* error) -> std::optional<QByteArray> {
            std::string why;
            const std::optional<std::string> book = tables::XlsxWorkbook(Rows().AsTable(), &why);
            if (!book) *error = QString::fromStdString(why);
            return book ? std::optional(Bytes(*book)) : std::nullopt;
        },
        QStringLiteral("成功导出全部数据"));
}

void ResultMenu::SaveExport(const QString& filter, const QString& suffix, const FileBytes& build,
                            const QString& done) {
    const std::optional<QString> path = platform_.dialogs.SaveFile(
        {QStringLiteral("请选择您要保存的位置"), filter, folder_, suffix});
    if (!path) {
        Message(QStringLiteral("已取消保存"), MessageIcon::Information);
        return;
    }
    QString error;
    const std::optional<QByteArray> bytes = build(&error);
    const FileWriteResult written =
        bytes ? platform_.files.WriteAtomically(*path, *bytes) : FileWriteResult{false, error};
    if (!written.ok) return ReportExportFailure(*path, written.error);
    Message(done + u'!', MessageIcon::Information);
    show_message_(done + QStringLiteral(".."));
}

// The rows are there; the file is what failed, and the user must know which one.
void ResultMenu::ReportExportFailure(const QString& path, const QString& error) {
    Message(QStringLiteral("导出失败!无法写入文件[") + path + QStringLiteral("]!\r\n") +
                (error.isEmpty() ? QStringLiteral("写入失败") : error),
            MessageIcon::Exclamation);
    show_message_(QStringLiteral("导出失败!无法写入文件[") + path + QStringLiteral("].."));
}

void ResultMenu::tjtb() {
    if (!HasRows(QStringLiteral("没有可统计的数据!"))) return;
    // One chart window at a time, showing the list as it is now.
    if (summary_) summary_->close();
    summary_ = new SummaryDialog(SummarizeResults(Rows()), parentWidget());
    summary_->setAttribute(Qt::WA_DeleteOnClose);
    connect(summary_, &SummaryDialog::SaveRequested, this, [this](const QByteArray& png) {
        SaveExport(
            QStringLiteral("PNG图片（PNG）|*.png"), QStringLiteral("png"),
            [&png](QString* error) -> std::optional<QByteArray> {
                if (png.isEmpty()) *error = QStringLiteral("无法生成图片");
                return png.isEmpty() ? std::nullopt : std::optional(png);
            },
            QStringLiteral("成功导出统计图表"));
    });
    summary_->show();
}

}  // namespace numtrail
