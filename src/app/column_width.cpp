#include "app/column_width.h"

#include <algorithm>

namespace numtrail {

QString WidestNumber(const QFontMetrics& metrics) {
    QChar widest = u'0';
    for (char16_t digit = u'1'; digit <= u'9'; ++digit)
        if (metrics.horizontalAdvance(QChar(digit)) > metrics.horizontalAdvance(widest))
            widest = QChar(digit);
    return QString(11, widest);
}

int ColumnWidth(int design_twips, const QFontMetrics& metrics, const QStringList& texts,
                int margin) {
    int width = design_twips / 15;
    for (const QString& text : texts)
        width = std::max(width, metrics.horizontalAdvance(text) + 2 * margin);
    return width;
}

}  // namespace numtrail
