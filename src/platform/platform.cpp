#include "platform/platform.h"

#include <QFileInfo>
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

QString WithDefaultSuffix(const QString& path, const QString& suffix) {
    if (suffix.isEmpty() || !QFileInfo(path).suffix().isEmpty()) return path;
    return path + u'.' + suffix;
}

}  // namespace numtrail
