#pragma once

#include <QByteArray>
#include <QString>
#include <ostream>

// GoogleTest prints these as readable text instead of raw bytes when an assertion fails.
QT_BEGIN_NAMESPACE
void PrintTo(const QString& s, std::ostream* os);
void PrintTo(const QByteArray& b, std::ostream* os);
QT_END_NAMESPACE
