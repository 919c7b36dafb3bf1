// The number lookup shared by the single query and the batch tick, and the single query.
#include <QButtonGroup>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTableView>
#include <cstdio>

#include "app/form1.h"
#include "results/number_list.h"
#include "results/result_journal.h"
#include "results/result_list_model.h"

namespace numtrail {

bool Form1::PassesNumberCheck(const QString& n) {
    switch (CheckNumber(n)) {
        case NumberCheck::Ok:
            return true;
        case NumberCheck::WrongLength:
            SetMessage(QStringLiteral("手机号码位数不正确!"));
            return false;
        case NumberCheck::NotDigits:
            Message(QStringLiteral("您输入的内容错误!手机号为纯数字!"), MessageIcon::Exclamation);
            SetMessage(QStringLiteral("您输入的内容错误!手机号为纯数字!"));
            return false;
    }
    return false;
}

LookupOutcome Form1::LookupNumber(const QString& n, QueryMode mode) {
    SetMessage(QStringLiteral("手机号码[") + n + QStringLiteral("]查询中..."));
    query_slots_.ql();
    // The answer is kept here as well as in slot 0: a lookup that runs nested inside this
    // one's fetch clears and refills the shared slots, and must not lend us its fields.
    const FetchResult fetched = platform_.fetcher.Fetch(AttributionUrl(settings_.lookup_url, n));
    const QString answer = fetched.body;
    query_slots_[0] = answer;
    if (answer.isEmpty()) return {LookupOutcome::Kind::NoAnswer, fetched.failure};
    if (mode == QueryMode::Batch && IsRateLimited(answer))
        return {LookupOutcome::Kind::RateLimited, {}};

    const std::array<QString, 10> fields = ParseAnswer(answer);
    for (int i = 1; i <= 10; ++i) query_slots_[i] = fields[static_cast<std::size_t>(i - 1)];
    const LookupResult result = ResultFromSlots(n, fields);
    if (result.province.isEmpty()) {
        // The single query still shows the number it asked about, alone on its row.
        if (mode == QueryMode::Single) AddResultRow({n, {}, {}, {}, {}, {}}, mode);
        return {LookupOutcome::Kind::NoProvince, {}};
    }
    AddResultRow(result, mode);
    ShowTopRow();
    if (mode == QueryMode::Single) SetMessage(QStringLiteral("查询完毕.."));
    return {LookupOutcome::Kind::Done, {}};
}

void Form1::AddResultRow(const LookupResult& result, QueryMode mode) {
    // On disk before it is on screen: a row the user has seen is never one a crash loses.
    JournalRow(result, mode);
    if (row_to_select_ >= 0) ++row_to_select_;  // one more row above the one waiting
    results_->InsertTop(result);
    WidenColumnsFor(result);
}

// A journal that cannot be written is said once, where it stays readable (the status bar's
// tooltip) and on stderr; the query goes on, and later rows are still tried.
void Form1::JournalRow(const LookupResult& result, QueryMode mode) {
    if (!journal_ || journal_->Append(result, mode)) return;
    if (journal_failure_shown_) return;
    journal_failure_shown_ = true;
    const QString error = QString::fromLocal8Bit(journal_->Error());
    S1_->setToolTip(QStringLiteral("结果日志写入失败，查询照常进行：") + error);
    std::fprintf(stderr, "numtrail: results journal: %s\n", journal_->Error().c_str());
    std::fflush(stderr);
}

void Form1::ShowTopRow() {
    ListView1_->setFocus();
    row_to_select_ = 0;
    SelectWaitingRow();
}

// A batch's rows reach the view a few at a time: the row a lookup asked to select is selected
// once the view has it.
void Form1::SelectWaitingRow() {
    if (row_to_select_ < 0 || results_->HasUnpublished()) return;
    ListView1_->setCurrentIndex(results_->index(row_to_select_, 0));
    row_to_select_ = -1;
}

void Form1::RunSingleQuery() {
    Command2_->setEnabled(false);
    const std::optional<QString> entry = platform_.dialogs.Input(
        QStringLiteral("请输入您要查询的手机号码"), QStringLiteral("请输入您要查询的手机号码"));
    if (!entry)
        SetMessage(QStringLiteral("您已取消查询!"));
    else if (entry->isEmpty())
        SetMessage(QStringLiteral("请输入手机号码!"));
    else if (const QString n = CleanNumberEntry(*entry); PassesNumberCheck(n))
        LookupNumber(n, QueryMode::Single);
    SwitchOffOption(0);
}

void Form1::SwitchOffOption(int index) {
    // An exclusive group cannot be left without a selection; lift that for the moment.
    option_group_->setExclusive(false);
    Option4_[index]->setChecked(false);
    option_group_->setExclusive(true);
}

}  // namespace numtrail
