#include "console/windows/LaunchPage.h"

#include <QLabel>
#include <QVBoxLayout>

#include "console/ConsoleSession.h"
#include "console/ShowControl.h"
#include "console/windows/CueListView.h"
#include "console/windows/SlotStrip.h"
#include "console/windows/WidgetParts.h"
#include "shows/TProjectList.h"

namespace kv {

LaunchPage::LaunchPage(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("LaunchPanel"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    Slots = new SlotStrip(this);
    layout->addWidget(Slots);
    ProjectName = NamedLabel(QStringLiteral("ProjectNameLabel"), QString(), this);
    QFont big = ProjectName->font();
    big.setBold(true);
    big.setPointSizeF(big.pointSizeF() * 1.3);
    ProjectName->setFont(big);
    // A long project name is cut, not given the width it asks for.
    ProjectName->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    layout->addWidget(ProjectName);
    Cues = new CueListView(this);
    layout->addWidget(Cues, 1);
}

void LaunchPage::Bind(ConsoleSession& session) {
    Slots->Bind(session);
    Cues->Bind(session);
    connect(&session.Show(), &ShowControl::ShowViewChanged, this,
            [this, &session] { ProjectName->setText(session.Show().CurrentProject().Name); });
}

}  // namespace kv
