#pragma once

#include <QFontMetrics>
#include <QString>
#include <QStringList>

namespace numtrail {

// The widest number of eleven digits in a font: eleven of its widest digit.
QString WidestNumber(const QFontMetrics& metrics);

// The width in pixels a result column needs: its design width (in twips, 15 to a pixel) at
// the least, and room for the widest of `texts` in `metrics` with `margin` pixels on either
// side, so that none of them is elided.
int ColumnWidth(int design_twips, const QFontMetrics& metrics, const QStringList& texts,
                int margin);

}  // namespace numtrail
