#include "console/windows/TExtStartForm.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTime>
#include <QTimeEdit>
#include <QVBoxLayout>

#include "console/windows/TLocalizer.h"
#include "core/Clock.h"

namespace kv {

TExtStartForm::TExtStartForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog), localizer_(new TLocalizer(this)) {
    setObjectName(QStringLiteral("TExtStartForm"));
    setWindowTitle(QStringLiteral("Запуск"));
    auto* layout = new QVBoxLayout(this);
    auto* group = new QGroupBox(QStringLiteral(" Условие запуска "), this);
    group->setObjectName(QStringLiteral("GroupBox1"));
    auto* grid = new QGridLayout(group);
    RadioButton1 = new QRadioButton(QStringLiteral("По системным часам"), group);
    RadioButton1->setObjectName(QStringLiteral("RadioButton1"));
    auto* timeLabel = new QLabel(QStringLiteral("время запуска:"), group);
    timeLabel->setObjectName(QStringLiteral("Label1"));
    DateTimePicker1 = new QTimeEdit(group);
    DateTimePicker1->setObjectName(QStringLiteral("DateTimePicker1"));
    DateTimePicker1->setDisplayFormat(QStringLiteral("HH:mm:ss"));
    RadioButton2 = new QRadioButton(QStringLiteral("От внешней команды запуска"), group);
    RadioButton2->setObjectName(QStringLiteral("RadioButton2"));
    RadioButton2->setChecked(true);
    grid->addWidget(RadioButton1, 0, 0, 1, 2);
    grid->addWidget(timeLabel, 1, 0);
    grid->addWidget(DateTimePicker1, 1, 1);
    grid->addWidget(RadioButton2, 2, 0, 1, 2);
    layout->addWidget(group);
    auto* buttons = new QHBoxLayout();
    StartBtn = new QPushButton(QStringLiteral("Запуск"), this);
    StartBtn->setObjectName(QStringLiteral("StartBtn"));
    StartBtn->setDefault(true);
    CancelBtn = new QPushButton(QStringLiteral("Отмена"), this);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    buttons->addStretch(1);
    buttons->addWidget(StartBtn);
    buttons->addWidget(CancelBtn);
    layout->addLayout(buttons);
    connect(StartBtn, &QPushButton::clicked, this, [this] { StartClick(); });
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);

    CurrentMsOfDay = [] { return QTime::currentTime().msecsSinceStartOfDay(); };
    ShowMessage = [this](const QString& caption, const QString& text) {
        QMessageBox::information(this, caption, text);
    };
}

TExtStartForm::Choice TExtStartForm::Ask() {
    plan_ = CountdownPlan{};
    DateTimePicker1->setTime(QTime::fromMSecsSinceStartOfDay(CurrentMsOfDay()));
    // The window is reused: without this the focus would sit wherever the last operator left
    // it (on "Запуск", say), and the first key would act there. The checked choice has it, so
    // the arrow keys change the choice and Tab leads to the time.
    (RadioButton1->isChecked() ? RadioButton1 : RadioButton2)->setFocus(Qt::OtherFocusReason);
    if (exec() != QDialog::Accepted) {
        return Choice::Cancelled;
    }
    return RadioButton1->isChecked() ? Choice::Clock : Choice::External;
}

void TExtStartForm::StartClick() {
    if (RadioButton1->isChecked()) {
        // A passed time would close the countdown on its first tick and start the show at
        // once; the dialog stays open for another time instead.
        const CountdownPlan plan = PlanClockStart(
            TickCount(), DateTimePicker1->time().msecsSinceStartOfDay(), CurrentMsOfDay());
        if (plan.passed) {
            ShowMessage(QStringLiteral("Сообщение"), CountdownPassedMessage());
            return;
        }
        plan_ = plan;
    }
    accept();
}

}  // namespace kv
