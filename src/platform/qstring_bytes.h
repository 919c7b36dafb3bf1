#pragma once

#include <QByteArray>
#include <QString>

namespace numtrail {

// Code page 936 for Qt strings (see codepage.h).
QByteArray ToAnsi(const QString& text);
QString FromAnsi(const QByteArray& bytes);

}  // namespace numtrail
