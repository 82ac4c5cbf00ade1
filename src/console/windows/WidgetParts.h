#pragma once

#include <QColor>
#include <QFont>
#include <QLabel>
#include <QPalette>
#include <QString>

namespace kv {

// Small pieces the window classes build from. Every label that the language file may translate
// carries its object name.
inline QLabel* NamedLabel(const QString& name, const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    return label;
}

// The font enlarged by a factor, bold or not: the figures a crew reads from a distance.
inline QFont ScaledFont(const QFont& base, double factor, bool bold) {
    QFont font = base;
    font.setPointSizeF(font.pointSizeF() * factor);
    font.setBold(bold);
    return font;
}

inline void SetTextColor(QLabel* label, const QColor& color) {
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
}

}  // namespace kv
