#include "console/windows/TTimerForm.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "console/windows/TLocalizer.h"
#include "core/Clock.h"
#include "shows/Countdown.h"

namespace kv {

TTimerForm::TTimerForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      localizer_(new TLocalizer(this)) {
    setObjectName(QStringLiteral("TTimerForm"));
    setWindowTitle(QStringLiteral("Ожидание запуска"));
    auto* layout = new QVBoxLayout(this);
    Label2 = new QLabel(this);
    Label2->setObjectName(QStringLiteral("Label2"));
    QFont bold = Label2->font();
    bold.setBold(true);
    Label2->setFont(bold);
    layout->addWidget(Label2);
    auto* frame = new QFrame(this);
    frame->setObjectName(QStringLiteral("Shape1"));
    frame->setFrameShape(QFrame::Box);
    auto* frameLayout = new QVBoxLayout(frame);
    TimeLabel = new QLabel(QStringLiteral("0:00:00.0"), frame);
    TimeLabel->setObjectName(QStringLiteral("TimeLabel"));
    TimeLabel->setAlignment(Qt::AlignCenter);
    QFont large = TimeLabel->font();
    large.setBold(true);
    large.setPointSizeF(large.pointSizeF() * 3);
    TimeLabel->setFont(large);
    TimeLabel->setMinimumWidth(
        TimeLabel->fontMetrics().horizontalAdvance(QStringLiteral("00:00:00.0")) + 20);
    frameLayout->addWidget(TimeLabel);
    layout->addWidget(frame);
    auto* buttons = new QHBoxLayout();
    CancelBtn = new QPushButton(QStringLiteral("Отмена"), this);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    buttons->addStretch(1);
    buttons->addWidget(CancelBtn);
    buttons->addStretch(1);
    layout->addLayout(buttons);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    Timer.setInterval(kTimerMs);
    connect(&Timer, &QTimer::timeout, this, [this] { Tick(); });
}

bool TTimerForm::Run(const QString& caption, uint32_t startTick, uint32_t targetTick,
                     const CountdownWatch& watch) {
    Label2->setText(caption);
    TimeLabel->clear();
    startTick_ = startTick;
    targetTick_ = targetTick;
    watch_ = &watch;
    Timer.start();
    const bool ok = exec() == QDialog::Accepted;
    watch_ = nullptr;
    return ok;
}

void TTimerForm::Tick() {
    if (!isVisible()) {
        return;
    }
    const bool playing = watch_ != nullptr && watch_->ShowPlaying();
    const CountdownStep step = Countdown(startTick_, targetTick_, TickCount(), playing);
    TimeLabel->setText(step.text);
    const bool standing = watch_ == nullptr || watch_->WaitStands();
    // A countdown cleared elsewhere never says OK, not even at zero. The wait for the start
    // command is cleared by the start itself, which must still say OK.
    if (targetTick_ != 0 && !standing) {
        reject();
    } else if (step.close) {
        accept();
    } else if (!standing) {
        reject();
    }
}

void TTimerForm::keyPressEvent(QKeyEvent* event) {
    // The stop key stops here too: the countdown or the wait ends, nothing starts.
    if (event->key() == Qt::Key_F6 && event->modifiers() == Qt::NoModifier) {
        event->accept();
        reject();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TTimerForm::done(int result) {
    Timer.stop();
    QDialog::done(result);
}

}  // namespace kv
