#include "console/windows/SlotStrip.h"

#include <QFrame>
#include <QGridLayout>
#include <QLabel>

#include "console/ConsoleSession.h"
#include "console/ShowControl.h"
#include "console/ShowTexts.h"
#include "console/windows/TShape.h"
#include "shows/TProjectList.h"
#include "shows/TProjects.h"

namespace kv {

SlotStrip::SlotStrip(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("SlotPanel"));
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(1);
    QFont bold = font();
    bold.setBold(true);
    for (int k = 0; k < kSlots; ++k) {
        auto* frame = new QFrame(this);
        frame->setFrameShape(QFrame::StyledPanel);
        auto* cell = new QGridLayout(frame);
        cell->setContentsMargins(4, 2, 4, 2);
        cell->setSpacing(2);
        auto* number = new QLabel(QString::number(k + 1), frame);
        number->setObjectName(QStringLiteral("SlotNumber%1").arg(k));
        QFont big = bold;
        big.setPointSizeF(big.pointSizeF() * 1.4);
        number->setFont(big);
        Slot& slot = slots_[static_cast<size_t>(k)];
        slot.led = new TShape(frame);
        slot.led->setObjectName(QStringLiteral("PLed%1").arg(k));
        slot.led->setFixedSize(16, 16);
        slot.script = new QLabel(frame);
        slot.script->setObjectName(QStringLiteral("PLabel%1").arg(k));
        slot.sound = new QLabel(frame);
        slot.sound->setObjectName(QStringLiteral("SLabel%1").arg(k));
        for (QLabel* label : {slot.script, slot.sound}) {
            label->setFont(bold);
            label->setMinimumWidth(
                label->fontMetrics().horizontalAdvance(QStringLiteral("0:00:00")));
        }
        cell->addWidget(number, 0, 0);
        cell->addWidget(slot.led, 0, 1, Qt::AlignRight);
        cell->addWidget(slot.script, 1, 0, 1, 2);
        cell->addWidget(slot.sound, 2, 0, 1, 2);
        grid->addWidget(frame, 0, k);
        SetSlot(k, k == 0, QString(), QString());
    }
}

void SlotStrip::SetSlot(int k, bool current, const QString& scriptTime, const QString& soundTime) {
    if (k < 0 || k >= kSlots) {
        return;
    }
    Slot& slot = slots_[static_cast<size_t>(k)];
    slot.led->SetLook(current ? TShape::Look::On : TShape::Look::Off);
    slot.script->setText(scriptTime);
    slot.sound->setText(soundTime);
    // The current slot in black, the others in navy.
    const QColor color = current ? QColor(Qt::black) : QColor(0, 0, 128);
    for (QLabel* label : {slot.script, slot.sound}) {
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, color);
        label->setPalette(palette);
    }
}

QString SlotStrip::ScriptText(int k) const {
    return k >= 0 && k < kSlots ? slots_[static_cast<size_t>(k)].script->text() : QString();
}

QString SlotStrip::SoundText(int k) const {
    return k >= 0 && k < kSlots ? slots_[static_cast<size_t>(k)].sound->text() : QString();
}

bool SlotStrip::IsCurrent(int k) const {
    return k >= 0 && k < kSlots &&
           slots_[static_cast<size_t>(k)].led->CurrentLook() == TShape::Look::On;
}

}  // namespace kv

namespace kv {

void SlotStrip::Bind(ConsoleSession& session) {
    connect(&session.Show(), &ShowControl::ShowViewChanged, this, [this, &session] {
        const ConsoleState& state = session.State();
        for (int k = 0; k < kSlots; ++k) {
            const TProjectList& project = session.Projects().Project(k);
            const SlotView view =
                SlotViewFor(k == state.CurrentSlot, project.Count(), project.LastTime(),
                            state.Slots[static_cast<size_t>(k)].SoundLength);
            SetSlot(k, view.Led == Look::On, view.ProjectText, view.SoundText);
        }
    });
}

}  // namespace kv
