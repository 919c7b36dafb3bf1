#include "platform/platform.h"

#include <QStringList>

namespace numtrail {

QString ToQtFileFilter(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList entries;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
        entries << parts[i] + QStringLiteral(" (") + QString(parts[i + 1]).replace(';', ' ') +
                       QLatin1Char(')');
    if (parts.size() % 2 == 1 && !parts.last().isEmpty()) entries << parts.last();
    return entries.join(QStringLiteral(";;"));
}

}  // namespace numtrail
