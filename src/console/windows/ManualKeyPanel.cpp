#include "console/windows/ManualKeyPanel.h"

#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "console/ConsoleSession.h"
#include "console/ConsoleWiring.h"
#include "console/ManualKeyLooks.h"
#include "console/ShowControl.h"
#include "console/windows/TShape.h"
#include "console/windows/UiLooks.h"
#include "console/windows/WidgetParts.h"
#include "shows/TExtPlayer.h"

namespace kv {

const std::array<const char*, ManualKeyPanel::kKeys>& ManualKeyPanel::Letters() {
    static const std::array<const char*, kKeys> letters = {
        "1", "2", "3", "4", "5", "6", "7", "8", "9", "0", "Q", "W", "E", "R",
        "T", "Y", "U", "I", "O", "P", "A", "S", "D", "F", "G", "H", "J", "K",
        "L", ";", "Z", "X", "C", "V", "B", "N", "M", ",", ".", "/"};
    return letters;
}

ManualKeyPanel::ManualKeyPanel(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("ManualKeyboard"));
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(2);

    auto* captions = new QHBoxLayout();
    moduleCaption_ =
        NamedLabel(QStringLiteral("ManualDeviceCaption"), QStringLiteral("Пульт:"), this);
    moduleText_ = NamedLabel(QStringLiteral("ManualDeviceLabel"), QString(), this);
    pageCaption_ =
        NamedLabel(QStringLiteral("ManualPageCaption"), QStringLiteral("Страница:"), this);
    pageText_ = NamedLabel(QStringLiteral("ManualPageLabel"), QString(), this);
    QFont bold = font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.3);
    for (QLabel* label : {moduleCaption_, moduleText_, pageCaption_, pageText_}) {
        label->setFont(bold);
    }
    captions->addWidget(moduleCaption_);
    captions->addWidget(moduleText_);
    captions->addSpacing(24);
    captions->addWidget(pageCaption_);
    captions->addWidget(pageText_);
    captions->addStretch(1);
    outer->addLayout(captions);

    auto* panels = new QHBoxLayout();
    panels->setSpacing(8);
    QFont letterFont = font();
    letterFont.setBold(true);
    letterFont.setPointSizeF(letterFont.pointSizeF() * 1.3);
    QFont numberFont = font();
    numberFont.setBold(true);
    for (int p = 0; p < 2; ++p) {
        auto* panel = new QFrame(this);
        panel->setObjectName(QStringLiteral("ManualPanel%1").arg(p + 1));
        panel->setFrameShape(QFrame::StyledPanel);
        auto* grid = new QGridLayout(panel);
        grid->setContentsMargins(4, 4, 4, 4);
        grid->setHorizontalSpacing(3);
        grid->setVerticalSpacing(2);
        for (int k = 0; k < 20; ++k) {
            const int i = p * 20 + k;
            const int row = k / 10;
            const int col = k % 10;
            KeyWidgets& key = keys_[static_cast<size_t>(i)];
            key.letter = NamedLabel(QStringLiteral("BKey%1").arg(i),
                                    QString::fromLatin1(Letters()[static_cast<size_t>(i)]), panel);
            key.letter->setFont(letterFont);
            key.letter->setAlignment(Qt::AlignCenter);
            key.shape = new TShape(panel, TShape::Form::Rectangle);
            key.shape->setObjectName(QStringLiteral("Key%1").arg(i));
            key.shape->setMinimumSize(34, 22);
            key.number = NamedLabel(QStringLiteral("LKey%1").arg(i), QString(), key.shape);
            key.number->setFont(numberFont);
            key.number->setAlignment(Qt::AlignCenter);
            auto* inShape = new QVBoxLayout(key.shape);
            inShape->setContentsMargins(0, 0, 0, 0);
            inShape->addWidget(key.number);
            auto* cell = new QVBoxLayout();
            cell->setSpacing(0);
            cell->addWidget(key.letter);
            cell->addWidget(key.shape);
            grid->addLayout(cell, row, col);
            SetKey(i, {QColor(128, 128, 128), QColor(166, 166, 166), QColor(Qt::black), {}});
        }
        panels->addWidget(panel, 1);
    }
    outer->addLayout(panels);
    SetCaptions(QString(), QString());
}

void ManualKeyPanel::SetKey(int index, const KeyLook& look) {
    if (index < 0 || index >= kKeys) {
        return;
    }
    KeyWidgets& key = keys_[static_cast<size_t>(index)];
    key.look = look;
    SetTextColor(key.letter, look.letter);
    SetTextColor(key.number, look.number);
    key.number->setText(look.numberText);
    QPalette palette = key.shape->palette();
    palette.setColor(QPalette::Button, look.shape);
    key.shape->setPalette(palette);
    key.shape->SetLook(TShape::Look::Off);
    key.shape->update();
}

ManualKeyPanel::KeyLook ManualKeyPanel::Key(int index) const {
    return index >= 0 && index < kKeys ? keys_[static_cast<size_t>(index)].look : KeyLook{};
}

void ManualKeyPanel::SetCaptions(const QString& module, const QString& page) {
    const bool shown = !module.isEmpty();
    moduleCaption_->setVisible(shown);
    pageCaption_->setVisible(shown);
    moduleText_->setText(module);
    pageText_->setText(page);
}

}  // namespace kv

namespace kv {

void ManualKeyPanel::Bind(ConsoleSession& session) {
    session_ = &session;
    connect(&session.Show(), &ShowControl::ManualKeysChanged, this, &ManualKeyPanel::Refresh);
    connect(&session.Wiring(), &ConsoleWiring::DeviceListChanged, this, &ManualKeyPanel::Refresh);
    connect(&session.Show(), &ShowControl::ManualKeyChanged, this,
            [this](int32_t address, int32_t channel) {
                const ConsoleState& state = session_->State();
                const auto update =
                    ManualKeyAfterChange(session_->Wiring().Controls(), state.ManualDevice,
                                         state.ManualPage, address, channel);
                if (update) {
                    Draw(update->Index, update->Look);
                }
            });
}

void ManualKeyPanel::Refresh() {
    const ConsoleState& state = session_->State();
    const ManualKeyboardView view =
        ManualKeyboard(session_->Wiring().Controls(), session_->Player().WorkMode,
                       state.ManualDevice, state.ManualPage);
    setVisible(view.PanelsVisible && !session_->Wiring().TestMode());
    SetCaptions(view.CaptionsVisible ? view.ModuleText : QString(), view.PageText);
    for (int i = 0; i < kKeys; ++i) {
        Draw(i, view.Keys[static_cast<size_t>(i)]);
    }
}

void ManualKeyPanel::Draw(int index, const ManualKeyLook& look) {
    const QPalette colours = palette();
    SetKey(index, {ToQColor(look.Letter, colours), ToQColor(look.Shape, colours),
                   ToQColor(look.Number, colours), look.NumberText});
}

}  // namespace kv
