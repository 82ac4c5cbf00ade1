#include "console/windows/SearchPanel.h"

#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QVBoxLayout>

#include "bus/TPortProto.h"
#include "console/ConsoleWiring.h"

namespace kv {

SearchPanel::SearchPanel(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("SearchPanel"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* box = new QGroupBox(QStringLiteral(" Поиск устройств "), this);
    box->setObjectName(QStringLiteral("SearchGroup"));
    auto* grid = new QGridLayout(box);
    grid->setVerticalSpacing(10);
    QFont big = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    big.setPointSizeF(big.pointSizeF() * 1.6);
    big.setBold(true);
    QFont caption = font();
    caption.setPointSizeF(caption.pointSizeF() * 1.2);
    struct Row {
        const char* caption;
        const char* captionName;
        const char* valueName;
    };
    const Row rows[SearchFigures::kCount] = {
        {"Цикл опроса:", "SearchCycleCaption", "SearchCycleLabel"},
        {"Текущий ID:", "SearchIdCaption", "SearchIdLabel"},
        {"Преобразователей:", "SearchConvertersCaption", "SearchConvertersLabel"},
        {"Пультов:", "SearchModulesCaption", "SearchModulesLabel"},
        {"Радиоканалов:", "SearchRadioCaption", "SearchRadioLabel"},
        {"ПДУ(Р):", "SearchRemoteCaption", "SearchRemoteLabel"},
    };
    for (int i = 0; i < SearchFigures::kCount; ++i) {
        auto* c = new QLabel(QString::fromUtf8(rows[i].caption), box);
        c->setObjectName(QString::fromLatin1(rows[i].captionName));
        c->setFont(caption);
        grid->addWidget(c, i, 0);
        auto* v = new QLabel(box);
        v->setObjectName(QString::fromLatin1(rows[i].valueName));
        v->setFont(big);
        v->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        v->setMinimumWidth(90);
        grid->addWidget(v, i, 1);
        values_[static_cast<size_t>(i)] = v;
    }
    layout->addWidget(box);
    layout->addStretch(1);
}

void SearchPanel::Clear() {
    SetFigures(SearchFigures::Empty());
}

void SearchPanel::ShowProgress(const ConsoleWiring& wiring, int percent, int address) {
    SetFigures(SearchFigures::Values(percent, address, wiring.Proto().ConverterCount(),
                                     wiring.Controls()));
}

void SearchPanel::SetFigures(const std::array<QString, SearchFigures::kCount>& values) {
    for (size_t i = 0; i < values.size(); ++i) {
        values_[i]->setText(values[i]);
    }
}

QString SearchPanel::FigureText(int index) const {
    return values_[static_cast<size_t>(index)]->text();
}

}  // namespace kv
