#include "util/TDivStrings.h"

namespace kv {

TDivStrings::TDivStrings(const QString& text, QChar delimiter) : delimiter_(delimiter) {
    SetText(text);
}

void TDivStrings::SetText(const QString& text) {
    // Qt's split keeps empty parts and gives one empty part for an empty text.
    QStringList::operator=(text.split(delimiter_, Qt::KeepEmptyParts));
}

}  // namespace kv
