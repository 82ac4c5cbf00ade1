#include "console/windows/HvPanel.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "console/windows/WidgetParts.h"
#include "devices/THVControl.h"

namespace kv {

HvPanel::HvPanel(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("HvPanel"));
    AskCharge = [this](const QString& caption, const QString& text) {
        QMessageBox box(QMessageBox::Warning, caption, text, QMessageBox::Yes | QMessageBox::No,
                        window());
        box.setObjectName(QStringLiteral("ChargeBox"));
        // A charged capacitor is live: Enter and Esc both leave it uncharged.
        box.setDefaultButton(QMessageBox::No);
        box.setEscapeButton(QMessageBox::No);
        return box.exec() == QMessageBox::Yes;
    };
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    QFont bold = font();
    bold.setBold(true);

    auto* title = NamedLabel(QStringLiteral("HvTitleLabel"),
                             QStringLiteral("Тестирование каналов, установка напряжений"), this);
    QFont big = bold;
    big.setPointSizeF(big.pointSizeF() * 1.2);
    title->setFont(big);
    layout->addWidget(title);

    auto* body = new QHBoxLayout();
    auto* rows = new QGroupBox(this);
    rows->setObjectName(QStringLiteral("HvRowsGroup"));
    auto* grid = new QGridLayout(rows);
    grid->setVerticalSpacing(1);
    grid->setHorizontalSpacing(10);
    grid->addWidget(NamedLabel(QStringLiteral("HvOhmsCaption"), QStringLiteral("R, Ом"), rows), 0,
                    1, Qt::AlignRight);
    grid->addWidget(NamedLabel(QStringLiteral("HvVoltsCaption"), QStringLiteral("U, В"), rows), 0,
                    2, Qt::AlignRight);
    for (int i = 0; i < HvPanelModel::kRows; ++i) {
        const auto n = QString::number(i + 1);
        const auto at = static_cast<size_t>(i);
        grid->addWidget(NamedLabel(QStringLiteral("HvRowLabel") + n,
                                   QStringLiteral("№ ") + n + QLatin1Char(':'), rows),
                        i + 1, 0);
        ohms_[at] = NamedLabel(QStringLiteral("HvOhmsLabel") + n, QStringLiteral("?"), rows);
        ohms_[at]->setMinimumWidth(60);
        ohms_[at]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        grid->addWidget(ohms_[at], i + 1, 1);
        volts_[at] = NamedLabel(QStringLiteral("HvVoltsLabel") + n, QStringLiteral("?"), rows);
        volts_[at]->setMinimumWidth(50);
        volts_[at]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        volts_[at]->setFont(bold);
        grid->addWidget(volts_[at], i + 1, 2);
        charge_[at] = new QPushButton(QStringLiteral("Заряд"), rows);
        charge_[at]->setObjectName(QStringLiteral("ChargeBtn") + n);
        charge_[at]->setEnabled(false);
        charge_[at]->setFocusPolicy(Qt::NoFocus);
        charge_[at]->setMaximumHeight(22);
        grid->addWidget(charge_[at], i + 1, 3);
        connect(charge_[at], &QPushButton::clicked, this,
                [this, i] { model_.ChargeRow(Module(), i, AskCharge); });
    }
    grid->setRowStretch(HvPanelModel::kRows + 1, 1);
    body->addWidget(rows);

    auto* side = new QVBoxLayout();
    auto* energyRow = new QHBoxLayout();
    energyRow->addWidget(
        NamedLabel(QStringLiteral("EnergyLabel"), QStringLiteral("Энегрия, мДж:"), this));
    energy_ = new QSpinBox(this);
    energy_->setObjectName(QStringLiteral("EnergyEdit"));
    energy_->setRange(0, HvPanelModel::kMaxEnergy);
    energy_->setValue(HvPanelModel::kDefaultEnergy);
    // One write when the operator has finished typing, not one per digit.
    energy_->setKeyboardTracking(false);
    energy_->setFont(bold);
    energyRow->addWidget(energy_);
    energyRow->addStretch(1);
    side->addLayout(energyRow);
    connect(energy_, &QSpinBox::valueChanged, this, [this](int value) { EnergyChanged(value); });

    auto* warning = new QGroupBox(this);
    warning->setObjectName(QStringLiteral("HvWarningGroup"));
    warning->setStyleSheet(QStringLiteral("QGroupBox { border: 2px solid rgb(255,0,0); }"));
    auto* warningLayout = new QVBoxLayout(warning);
    const char* lines[] = {"Внимание!", "При работе с пультами высокого напряжения",
                           "соблюдайте технику безопасности!"};
    for (int i = 0; i < 3; ++i) {
        auto* line = NamedLabel(QStringLiteral("HvWarningLabel%1").arg(i + 1),
                                QString::fromUtf8(lines[i]), warning);
        line->setFont(bold);
        line->setAlignment(Qt::AlignCenter);
        line->setStyleSheet(QStringLiteral("color: rgb(255,0,0);"));
        warningLayout->addWidget(line);
    }
    side->addWidget(warning);
    side->addStretch(1);
    body->addLayout(side, 1);
    layout->addLayout(body, 1);
}

THVControl* HvPanel::Module() const {
    return source_ != nullptr ? dynamic_cast<THVControl*>(source_->SelectedModule()) : nullptr;
}

void HvPanel::SetModuleSource(const ModuleSelection* source) {
    source_ = source;
}

void HvPanel::Refresh() {
    updating_ = true;
    THVControl* module = Module();
    model_.Refresh(module);
    if (module != nullptr) {
        energy_->setValue(model_.Energy());
    }
    for (int i = 0; i < HvPanelModel::kRows; ++i) {
        const auto at = static_cast<size_t>(i);
        const HvPanelModel::Row& row = model_.Rows()[at];
        ohms_[at]->setText(row.Resistance);
        volts_[at]->setText(row.Voltage);
        charge_[at]->setEnabled(row.ChargeEnabled);
    }
    updating_ = false;
}

void HvPanel::EnergyChanged(int value) {
    if (updating_) {
        return;
    }
    model_.EnergyChanged(Module(), value);
    Refresh();
}

}  // namespace kv
