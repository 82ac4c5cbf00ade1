#include "console/windows/MotorPanel.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

#include "console/windows/WidgetParts.h"
#include "devices/TMotorControl.h"

namespace kv {

namespace {

QSlider* TrackBar(const QString& name, QWidget* parent) {
    auto* bar = new QSlider(Qt::Horizontal, parent);
    bar->setObjectName(name);
    bar->setRange(0, MotorPanelModel::kMax);
    bar->setValue(MotorPanelModel::kMax);
    bar->setTickPosition(QSlider::TicksBelow);
    bar->setTickInterval(16);
    bar->setPageStep(16);
    bar->setMinimumWidth(260);
    return bar;
}

}  // namespace

MotorPanel::MotorPanel(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("MotorPanel"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    QFont bold = font();
    bold.setBold(true);

    auto* bars = new QGroupBox(this);
    bars->setObjectName(QStringLiteral("MotorBarsGroup"));
    auto* grid = new QGridLayout(bars);
    grid->addWidget(NamedLabel(QStringLiteral("SpeedCaption"), QStringLiteral("Скорость:"), bars),
                    0, 0);
    speed_ = TrackBar(QStringLiteral("SpeedBar"), bars);
    grid->addWidget(speed_, 0, 1);
    speedText_ =
        NamedLabel(QStringLiteral("SpeedLabel"), MotorPanelModel::SpeedText(model_.Speed()), bars);
    speedText_->setFont(bold);
    speedText_->setMinimumWidth(90);
    grid->addWidget(speedText_, 0, 2);
    grid->addWidget(NamedLabel(QStringLiteral("TimeCaption"), QStringLiteral("Время:"), bars), 1,
                    0);
    time_ = TrackBar(QStringLiteral("TimeBar"), bars);
    grid->addWidget(time_, 1, 1);
    timeText_ = NamedLabel(QStringLiteral("MotorTimeLabel"),
                           MotorPanelModel::TimeText(model_.Time()), bars);
    timeText_->setFont(bold);
    grid->addWidget(timeText_, 1, 2);
    layout->addWidget(bars);
    connect(speed_, &QSlider::valueChanged, this, [this](int v) {
        model_.SetSpeed(v);
        speedText_->setText(MotorPanelModel::SpeedText(model_.Speed()));
    });
    connect(time_, &QSlider::valueChanged, this, [this](int v) {
        model_.SetTime(v);
        timeText_->setText(MotorPanelModel::TimeText(model_.Time()));
    });

    auto* moves = new QGroupBox(this);
    moves->setObjectName(QStringLiteral("MotorMovesGroup"));
    auto* buttons = new QGridLayout(moves);
    auto button = [&](const char* name, const char* text, int row, int column) {
        auto* b = new QPushButton(QString::fromUtf8(text), moves);
        b->setObjectName(QString::fromLatin1(name));
        b->setMinimumSize(110, 32);
        b->setFocusPolicy(Qt::NoFocus);
        buttons->addWidget(b, row, column);
        return b;
    };
    LeftBtn = button("LeftBtn", "Влево", 0, 0);
    CenterBtn = button("CenterBtn", "Центр", 0, 1);
    RightBtn = button("RightBtn", "Вправо", 0, 2);
    RotateLeftBtn = button("RotateLeftBtn", "Вращение", 1, 0);
    RotateRightBtn = button("RotateRightBtn", "Вращение", 1, 2);
    layout->addWidget(moves);
    layout->addStretch(1);

    // Nothing is logged and the results are not shown: a lost move is simply repeated.
    connect(LeftBtn, &QPushButton::clicked, this, [this] { model_.Left(Module()); });
    connect(CenterBtn, &QPushButton::clicked, this, [this] { model_.Centre(Module()); });
    connect(RightBtn, &QPushButton::clicked, this, [this] { model_.Right(Module()); });
    connect(RotateLeftBtn, &QPushButton::clicked, this, [this] { model_.RotateLeft(Module()); });
    connect(RotateRightBtn, &QPushButton::clicked, this, [this] { model_.RotateRight(Module()); });
}

TMotorControl* MotorPanel::Module() const {
    return source_ != nullptr ? dynamic_cast<TMotorControl*>(source_->SelectedModule()) : nullptr;
}

void MotorPanel::SetModuleSource(const ModuleSelection* source) {
    source_ = source;
}

}  // namespace kv
