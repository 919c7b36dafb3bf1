// The result list's own commands (copy one result, remove one row, export every row as text,
// CSV or Excel, clear, the charts of the list) and the widths of its columns.
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QStyle>
#include <QTableView>

#include "app/column_width.h"
#include "app/form1.h"
#include "app/summary_dialog.h"
#include "platform/files.h"
#include "results/clipboard_block.h"
#include "results/csv_format.h"
#include "results/export_format.h"
#include "results/result_list_model.h"
#include "results/result_summary.h"
#include "results/xlsx_export.h"

namespace numtrail {
namespace {

// Compares what the clipboard hands back with what was put on it. Some systems give CR LF
// back as LF, which is still the text the user will paste.
bool SameClipboardText(QString a, QString b) { return a.remove(u'\r') == b.remove(u'\r'); }

}  // namespace

const ResultStore& Form1::Results() const { return results_->Store(); }

int Form1::SelectedRow() const {
    const QModelIndexList selected = ListView1_->selectionModel()->selectedRows();
    return selected.isEmpty() ? -1 : selected.first().row();
}

QList<LookupResult> Form1::ResultRows() const { return {Results().begin(), Results().end()}; }

void Form1::cpp() {
    const int row = SelectedRow();
    if (row < 0 || results_->RowAt(row).number.isEmpty()) {
        Message(QStringLiteral("请先查询再进行复制操作!"), MessageIcon::Exclamation);
        return;
    }
    const LookupResult result = results_->RowAt(row);
    const QString block = ClipboardBlock(result);
    platform_.clipboard.Clear();
    platform_.clipboard.SetText(block);
    // A clipboard held open by another program may refuse the text; saying "copied" then
    // would leave the user pasting something else.
    if (!SameClipboardText(platform_.clipboard.Text(), block)) {
        const QString failed = QStringLiteral("手机号码:[") + result.number +
                               QStringLiteral("]信息未能复制到剪贴板!请稍后再试!");
        Message(failed, MessageIcon::Exclamation);
        SetMessage(failed);
        return;
    }
    const QString copied =
        QStringLiteral("手机号码:[") + result.number + QStringLiteral("]信息已复制到剪贴板!");
    Message(copied, MessageIcon::Information);
    SetMessage(copied);
}

void Form1::ycxxx() {
    const int row = SelectedRow();
    const QString number = row >= 0 ? results_->RowAt(row).number : QString();
    if (number.isEmpty()) {
        Message(QStringLiteral("请选择您要删除列表项!"), MessageIcon::Exclamation);
        return;
    }
    results_->Remove(row);
    // The view moves the selection to a neighbour, which a second remove would then delete
    // without the user ever picking it.
    ListView1_->selectionModel()->clear();
    SetMessage(QStringLiteral("手机号码:[") + number + QStringLiteral("]信息已被移除..."));
}

void Form1::cll() {
    // A running batch goes on and puts its next results into the emptied list.
    if (Message(QStringLiteral("是否确定清空查询列表?"), MessageIcon::Information,
                MessageButtons::YesNo) != MessageAnswer::Yes)
        return;
    results_->Clear();
    row_to_select_ = -1;
}

void Form1::dcqb() {
    if (Results().IsEmpty()) {
        Message(QStringLiteral("没有可导出的数据!"), MessageIcon::Information);
        return;
    }
    const std::optional<QString> path = platform_.dialogs.SaveFile(
        {QStringLiteral("请选择您要保存的位置"), QStringLiteral("文本文件（TXT）|*.txt"),
         settings_.program_folder});
    if (!path) {
        Message(QStringLiteral("已取消保存"), MessageIcon::Information);
        return;
    }
    QString error;
    if (ExportListViewContent(Results(), *path, &error)) {
        Message(QStringLiteral("成功导出全部数据!"), MessageIcon::Information);
        SetMessage(QStringLiteral("成功导出全部数据.."));
    } else if (error.isEmpty()) {
        Message(QStringLiteral("没有可导出的数据!"), MessageIcon::Information);
        SetMessage(QStringLiteral("没有可导出的数据.."));
    } else {
        ReportExportFailure(*path, error);
    }
}

// The rows are there; the file is what failed, and the user must know which one.
void Form1::ReportExportFailure(const QString& path, const QString& error) {
    Message(QStringLiteral("导出失败!无法写入文件[") + path + QStringLiteral("]!\r\n") + error,
            MessageIcon::Exclamation);
    SetMessage(QStringLiteral("导出失败!无法写入文件[") + path + QStringLiteral("].."));
}

void Form1::dccsv() {
    ExportTable(QStringLiteral("CSV表格（CSV）|*.csv"), QStringLiteral("csv"),
                [](const QList<QStringList>& table, QString*) {
                    return std::optional(CsvBytes(ResultHeaders(), table));
                });
}

void Form1::dcxls() {
    ExportTable(QStringLiteral("Excel表格（XLSX）|*.xlsx"), QStringLiteral("xlsx"),
                [](const QList<QStringList>& table, QString* error) {
                    return XlsxBytes(ResultHeaders(), table, error);
                });
}

void Form1::ExportTable(const QString& filter, const QString& suffix, const TableFile& make) {
    const QList<LookupResult> rows = ResultRows();
    if (rows.isEmpty()) {
        Message(QStringLiteral("没有可导出的数据!"), MessageIcon::Information);
        return;
    }
    SaveExport(
        filter, suffix, [&](QString* error) { return make(ResultTable(rows), error); },
        QStringLiteral("成功导出全部数据"));
}

void Form1::SaveExport(const QString& filter, const QString& suffix,
                       const std::function<std::optional<QByteArray>(QString* error)>& build,
                       const QString& done) {
    const std::optional<QString> path = platform_.dialogs.SaveFile(
        {QStringLiteral("请选择您要保存的位置"), filter, settings_.program_folder, suffix});
    if (!path) {
        Message(QStringLiteral("已取消保存"), MessageIcon::Information);
        return;
    }
    QString error;
    const std::optional<QByteArray> bytes = build(&error);
    const FileWriteResult written =
        bytes ? platform_.files.WriteAtomically(*path, *bytes) : FileWriteResult{false, error};
    if (!written.ok) {
        ReportExportFailure(*path,
                            written.error.isEmpty() ? QStringLiteral("写入失败") : written.error);
        return;
    }
    Message(done + u'!', MessageIcon::Information);
    SetMessage(done + QStringLiteral(".."));
}

void Form1::tjtb() {
    const QList<LookupResult> rows = ResultRows();
    if (rows.isEmpty()) {
        Message(QStringLiteral("没有可统计的数据!"), MessageIcon::Information);
        return;
    }
    // One chart window at a time, showing the list as it is now.
    if (summary_) summary_->close();
    summary_ = new SummaryDialog(SummarizeResults(rows), this);
    summary_->setAttribute(Qt::WA_DeleteOnClose);
    connect(summary_, &SummaryDialog::SaveRequested, this, [this](const QByteArray& png) {
        SaveExport(
            QStringLiteral("PNG图片（PNG）|*.png"), QStringLiteral("png"),
            [&](QString* error) -> std::optional<QByteArray> {
                if (png.isEmpty()) {
                    *error = QStringLiteral("无法生成图片");
                    return std::nullopt;
                }
                return png;
            },
            QStringLiteral("成功导出统计图表"));
    });
    summary_->show();
}

bool Form1::ExportListViewContent(const ResultStore& rows, const QString& strFilePath,
                                  QString* error) {
    error->clear();
    if (rows.IsEmpty()) return false;
    // Written whole or not at all: a failed write leaves the file that was there.
    const FileWriteResult written = platform_.files.WriteAtomically(strFilePath, ExportBytes(rows));
    if (!written.ok) {
        *error = written.error.isEmpty() ? QStringLiteral("写入失败") : written.error;
        return false;
    }
    return true;
}

// The view draws a cell's text this far in from either side of its column.
int Form1::TextMargin() const {
    return ListView1_->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, ListView1_) + 1;
}

// Each column as wide as the design says, and as its header and the widest 11-digit number
// need in the list's font; rows are as high as that font.
void Form1::FitColumns() {
    measured_texts_.clear();
    const QFontMetrics metrics = ListView1_->fontMetrics();
    ListView1_->verticalHeader()->setDefaultSectionSize(metrics.height() + 4);
    QStringList texts{WidestNumber(metrics)};
    for (int c = 0; c < results_->columnCount(); ++c) {
        const int design = ResultColumns()[static_cast<std::size_t>(c)].design_twips;
        ListView1_->setColumnWidth(c, std::max(ColumnWidth(design, metrics, texts, TextMargin()),
                                               ListView1_->horizontalHeader()->sectionSizeHint(c)));
        texts.clear();
    }
}

// A column grows when a new row brings a text wider than it; each distinct value is measured
// once (they repeat: provinces, cities, card types). The number column fits 11 digits
// already, and a row is written only for a number that passed the number check.
void Form1::WidenColumnsFor(const LookupResult& row) {
    for (int c = 1; c < results_->columnCount(); ++c) {
        const QString& text = row.*ResultColumns()[static_cast<std::size_t>(c)].field;
        if (text.isEmpty() || measured_texts_.contains(text)) continue;
        measured_texts_.insert(text);
        const int needed = ColumnWidth(0, ListView1_->fontMetrics(), {text}, TextMargin());
        if (needed > ListView1_->columnWidth(c)) ListView1_->setColumnWidth(c, needed);
    }
}

}  // namespace numtrail
