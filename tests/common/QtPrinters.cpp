#include "QtPrinters.h"

QT_BEGIN_NAMESPACE
void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

void PrintTo(const QByteArray& b, std::ostream* os) {
    *os << "bytes[" << b.size() << "] " << b.toHex(' ').toStdString();
}
QT_END_NAMESPACE
