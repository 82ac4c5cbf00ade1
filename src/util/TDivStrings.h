#pragma once

#include <QChar>
#include <QString>
#include <QStringList>

namespace kv {

// A string list filled from one text split at a delimiter. n delimiters give n + 1 parts,
// empty parts included, so "a|b|" is {"a", "b", ""} and "" is {""}.
class TDivStrings : public QStringList {
public:
    explicit TDivStrings(const QString& text = QString(), QChar delimiter = QChar(','));

    QChar Delimiter() const { return delimiter_; }
    // Refills the list from text with the current delimiter.
    void SetText(const QString& text);

private:
    QChar delimiter_;
};

}  // namespace kv
