#include "results/xlsx_export.h"

#include <xlsxwriter.h>

#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <memory>

namespace numtrail {
namespace {

// Excel refuses a cell of more than 32,767 characters; a longer one keeps its beginning.
constexpr qsizetype kCellMax = 32767;
constexpr double kMaxColumnWidth = 60;

QByteArray CellText(const QString& text) {
    if (text.size() <= kCellMax) return text.toUtf8();
    QString cut = text.left(kCellMax);
    if (cut.back().isHighSurrogate()) cut.chop(1);
    return cut.toUtf8();
}

// Column widths are counted in characters of the default font, where a Chinese character
// takes two.
double DisplayWidth(const QString& text) {
    double width = 0;
    for (const QChar c : text) {
        if (c.isLowSurrogate()) continue;
        width += c.unicode() >= 0x1100 ? 2 : 1;
    }
    return width;
}

QString Failure(lxw_error error) {
    return QStringLiteral("无法生成Excel表格：") + QString::fromUtf8(lxw_strerror(error));
}

struct WorkbookCloser {
    void operator()(lxw_workbook* workbook) const { workbook_close(workbook); }
};

}  // namespace

std::optional<QByteArray> XlsxBytes(const QStringList& header, const QList<QStringList>& rows,
                                    QString* error, qsizetype rows_per_sheet) {
    // The library writes files only. Its work files and the workbook go to a private folder;
    // rows are streamed to disk one at a time, so a list of millions needs little memory.
    QTemporaryDir folder;
    if (!folder.isValid()) {
        *error = QStringLiteral("无法生成Excel表格：") + folder.errorString();
        return std::nullopt;
    }
    const QByteArray folder_path = QFile::encodeName(folder.path());
    const QByteArray book_path = QFile::encodeName(folder.filePath(QStringLiteral("book.xlsx")));
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    options.tmpdir = const_cast<char*>(folder_path.constData());
    options.use_zip64 = LXW_TRUE;  // a workbook of millions of rows passes 4 GB unpacked
    std::unique_ptr<lxw_workbook, WorkbookCloser> book(
        workbook_new_opt(book_path.constData(), &options));
    if (!book) {
        *error = QStringLiteral("无法生成Excel表格");
        return std::nullopt;
    }
    lxw_format* text = workbook_add_format(book.get());
    format_set_num_format(text, "@");
    lxw_format* bold = workbook_add_format(book.get());
    format_set_num_format(bold, "@");
    format_set_bold(bold);

    std::vector<double> widths(static_cast<std::size_t>(header.size()));
    for (qsizetype c = 0; c < header.size(); ++c)
        widths[static_cast<std::size_t>(c)] = DisplayWidth(header[c]);
    for (const QStringList& row : rows)
        for (qsizetype c = 0; c < std::min(row.size(), header.size()); ++c)
            widths[static_cast<std::size_t>(c)] =
                std::max(widths[static_cast<std::size_t>(c)], DisplayWidth(row[c]));

    const qsizetype per_sheet = std::max<qsizetype>(rows_per_sheet, 1);
    qsizetype next = 0;
    for (int sheet = 1; sheet == 1 || next < rows.size(); ++sheet) {
        const QByteArray name =
            (QStringLiteral("查询结果") + (sheet > 1 ? QString::number(sheet) : QString()))
                .toUtf8();
        lxw_worksheet* ws = workbook_add_worksheet(book.get(), name.constData());
        if (!ws) {
            *error = QStringLiteral("无法生成Excel表格");
            return std::nullopt;
        }
        for (qsizetype c = 0; c < header.size(); ++c) {
            const auto column = static_cast<lxw_col_t>(c);
            worksheet_set_column(ws, column, column,
                                 std::min(widths[static_cast<std::size_t>(c)] + 2, kMaxColumnWidth),
                                 text);
            worksheet_write_string(ws, 0, column, CellText(header[c]).constData(), bold);
        }
        worksheet_freeze_panes(ws, 1, 0);
        const qsizetype end = std::min(rows.size(), next + per_sheet);
        for (lxw_row_t r = 1; next < end; ++next, ++r) {
            const QStringList& row = rows[next];
            for (qsizetype c = 0; c < row.size(); ++c) {
                const lxw_error written = worksheet_write_string(
                    ws, r, static_cast<lxw_col_t>(c), CellText(row[c]).constData(), text);
                if (written != LXW_NO_ERROR) {
                    *error = Failure(written);
                    return std::nullopt;
                }
            }
        }
    }
    if (const lxw_error closed = workbook_close(book.release()); closed != LXW_NO_ERROR) {
        *error = Failure(closed);
        return std::nullopt;
    }
    QFile file(QFile::decodeName(book_path));
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("无法生成Excel表格：") + file.errorString();
        return std::nullopt;
    }
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        *error = QStringLiteral("无法生成Excel表格：") + file.errorString();
        return std::nullopt;
    }
    return bytes;
}

}  // namespace numtrail
