#include "app/batch_progress_bar.h"

#include <algorithm>

#include "lookup/batch_progress.h"

namespace numtrail {
namespace {

// Wide enough for "12345/100000，剩余约1小时5分"; the summary widens it (and narrows the message
// line) up to the most the message line can spare.
constexpr int kMinWidth = 170;
constexpr int kMaxWidth = 360;

}  // namespace

BatchProgressBar::BatchProgressBar(const BatchProgress& progress, QWidget* parent)
    : QProgressBar(parent), progress_(progress) {
    setObjectName(QStringLiteral("ProgressBar1"));
    setTextVisible(true);
    setAlignment(Qt::AlignCenter);
    hide();
}

void BatchProgressBar::Follow() {
    if (!progress_.Begun()) return;
    setRange(0, progress_.Total());
    setValue(progress_.Done());
    QString text = progress_.Text();
    setFixedWidth(std::clamp(fontMetrics().horizontalAdvance(text) + 24, kMinWidth, kMaxWidth));
    setFormat(text.replace(u'%', QStringLiteral("%%")));  // % starts a placeholder
    setToolTip(progress_.ToolTip());
    // The warning colours the bar; without it the bar has no colours of its own.
    if (progress_.Warning() != warning_) {
        warning_ = progress_.Warning();
        QPalette palette;
        if (warning_) palette.setColor(QPalette::Highlight, QColor(0xd9, 0x53, 0x4f));
        setPalette(palette);
    }
    show();
}

}  // namespace numtrail
