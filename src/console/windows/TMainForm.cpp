#include "console/windows/TMainForm.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QStackedWidget>
#include <QVBoxLayout>
#include <QWindow>

#include "console/ConsoleWiring.h"
#include "console/DebugSyncTest.h"
#include "console/MainFormTexts.h"
#include "console/ShowControl.h"
#include "console/windows/CommandButtons.h"
#include "console/windows/CueListView.h"
#include "console/windows/DevicePanel.h"
#include "console/windows/ExternalStart.h"
#include "console/windows/LaunchPage.h"
#include "console/windows/ManualKeyPanel.h"
#include "console/windows/SearchPanel.h"
#include "console/windows/ShowSummaryForm.h"
#include "console/windows/SlotStrip.h"
#include "console/windows/StatusPanel.h"
#include "console/windows/TDebugForm.h"
#include "console/windows/TExtStartForm.h"
#include "console/windows/TLocalizer.h"
#include "console/windows/TTimerForm.h"
#include "console/windows/TWarningForm.h"
#include "console/windows/TestModePanel.h"
#include "console/windows/TimePanel.h"
#include "console/windows/WidgetParts.h"
#include "core/Clock.h"
#include "i18n/Localizer.h"
#include "shows/TExtPlayer.h"
#include "shows/TProjectList.h"

namespace kv {

TMainForm::TMainForm(ConsoleSession& session, QWidget* parent)
    : QMainWindow(parent), session_(session) {
    setObjectName(QStringLiteral("TMainForm"));
    setWindowTitle(QStringLiteral("Управление запуском"));
    localizer_ = new TLocalizer(this);
    BuildWidgets();
    BindPanels();
    BuildActions();
    session_.Open();
    devices_->Rebuild();
    // The key hook sees every key-down of the program after the action shortcuts (which the
    // window system matches before it delivers a key) and before the focused control.
    qApp->installEventFilter(this);
}

TMainForm::~TMainForm() {
    qApp->removeEventFilter(this);
    if (windows_.debug) {
        windows_.debug->Detach();
    }
}

void TMainForm::SetWindows(const Windows& windows) {
    windows_ = {windows.warning, windows.extStart, windows.timer, windows.debug, windows.summary};
    if (TDebugForm* debug = windows.debug) {
        debug->Attach(session_.Wiring(), session_.Show());
    }
}

void TMainForm::ExtStartActionExecute() {
    RunExternalStart(ExtStartForm(), TimerForm(), session_.Show(), session_.Player());
    // The keys act only while the main window is active: the stop key must work at once.
    RefreshButtons();
    activateWindow();
}

void TMainForm::BuildWidgets() {
    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("MainPanel"));
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(6, 4, 6, 6);
    layout->setSpacing(4);

    // Nobody may mistake a demonstration for a live bus: a red band across the whole window.
    simBanner_ = NamedLabel(QStringLiteral("SimulatedBusLabel"), QString(), central);
    simBanner_->setAlignment(Qt::AlignCenter);
    simBanner_->setStyleSheet(QStringLiteral(
        "QLabel { background: rgb(255,0,0); color: white; font-weight: bold; padding: 6px; }"));
    simBanner_->hide();
    layout->addWidget(simBanner_);

    status_ = new StatusPanel(central);
    layout->addWidget(status_);

    auto* body = new QHBoxLayout();
    auto* left = new QVBoxLayout();
    devices_ = new DevicePanel(central);
    left->addWidget(devices_, 1);
    auto* deviceButtons = new QHBoxLayout();
    left->addLayout(deviceButtons);
    versionLabel_ = NamedLabel(QStringLiteral("VersionLabel"), QString(), central);
    versionLabel_->setWordWrap(true);
    left->addWidget(versionLabel_);
    body->addLayout(left);

    centre_ = new QStackedWidget(central);
    auto* launch = new LaunchPage(centre_);
    slots_ = launch->Slots;
    cues_ = launch->Cues;
    launchPage_ = launch;
    centre_->addWidget(launch);

    // A translated caption or a module panel wider or taller than the screen scrolls inside
    // the page instead of pushing the clock and the command keys off the screen.
    auto* testScroll = new QScrollArea(centre_);
    testScroll->setObjectName(QStringLiteral("TestPageScroll"));
    testScroll->setFrameShape(QFrame::NoFrame);
    testScroll->setWidgetResizable(true);
    // The keys belong to the key hook; the arrows must not scroll the page.
    testScroll->setFocusPolicy(Qt::NoFocus);
    testPanel_ = new TestModePanel(testScroll);
    testScroll->setWidget(testPanel_);
    centre_->addWidget(testScroll);
    testScroll->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    body->addWidget(centre_, 1);

    auto* right = new QVBoxLayout();
    times_ = new TimePanel(central);
    times_->setFixedWidth(310);
    right->addWidget(times_, 1);
    // While "<F10> Поиск" is down the search figures take the clocks' place.
    searchPanel_ = new SearchPanel(central);
    searchPanel_->setFixedWidth(310);
    searchPanel_->hide();
    right->addWidget(searchPanel_, 1);
    body->addLayout(right);
    layout->addLayout(body, 1);

    manualKeys_ = new ManualKeyPanel(central);
    manualKeys_->hide();
    layout->addWidget(manualKeys_);
    buttons_ = new CommandButtons(central);
    layout->addWidget(buttons_);
    deviceButtons->addWidget(buttons_->TestBtn);
    deviceButtons->addWidget(buttons_->SearchBtn);
    setCentralWidget(central);
    connect(buttons_->TestBtn, &QPushButton::clicked, this, [this] { TestBtnClick(); });
    connect(buttons_->SearchBtn, &QPushButton::clicked, this, [this] { SearchBtnClick(); });
}

void TMainForm::BindPanels() {
    // Which signal reaches which panel: each panel binds what it draws.
    status_->Bind(session_);
    launchPage_->Bind(session_);
    times_->Bind(session_);
    manualKeys_->Bind(session_);
    buttons_->Bind(session_);
    devices_->Bind(session_);
    testPanel_->Bind(session_);
    ShowControl& show = session_.Show();
    ConsoleWiring& wiring = session_.Wiring();
    connect(&session_, &ConsoleSession::EnablingChanged, this, &TMainForm::RefreshButtons);
    connect(&show, &ShowControl::ButtonsChanged, this, &TMainForm::RefreshButtons);
    connect(testPanel_, &TestModePanel::SelectionChanged, this, &TMainForm::RefreshButtons);
    connect(&show, &ShowControl::WarningRaised, this,
            [this](const QString& text) { WarningForm().ShowWarning(text); });
    connect(&wiring, &ConsoleWiring::ConverterRestored, this, [this] {
        if (windows_.warning) {
            windows_.warning->CloseWarning();
        }
    });
    connect(&wiring, &ConsoleWiring::SearchStateChanged, this, [this](bool searching) {
        buttons_->SearchBtn->setChecked(searching);
        if (searching) {
            searchPanel_->Clear();
        }
        ShowRightColumn();
    });
    connect(&wiring, &ConsoleWiring::SearchProgress, this, [this](int percent, int address) {
        searchPanel_->ShowProgress(session_.Wiring(), percent, address);
    });
    connect(&session_, &ConsoleSession::LogWriteFailed, this, [this](const QString& text) {
        ShowVersion();
        WarningForm().ShowWarning(text);
    });
    connect(&session_, &ConsoleSession::ReportWritten, this,
            [this](const ShowRecord& record, const QStringList& files) {
                SummaryForm().ShowReport(record, files);
            });
    if (wiring.Simulated()) {
        simBanner_->setText(QStringLiteral("ИМИТАЦИЯ ШИНЫ: устройства не настоящие "
                                           "(SIMULATED BUS, rig: ") +
                            wiring.SimulatedRig() + QLatin1Char(')'));
        simBanner_->show();
    }
}

void TMainForm::RefreshButtons() {
    buttons_->Refresh();
    testPanel_->RefreshEnabling();
    // In launch mode the cue list holds the keyboard: the arrow keys move its selection.
    if (!session_.Wiring().TestMode() && isVisible()) {
        cues_->setFocus();
    }
    status_->ShowModes();
    ActionListUpdate();
}

void TMainForm::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    FitToScreen();
    if (windowHandle() != nullptr && !screenWatched_) {
        screenWatched_ = true;
        connect(windowHandle(), &QWindow::screenChanged, this, [this] { FitToScreen(); });
    }
    if (!shown_) {
        shown_ = true;
        FormShow();
    }
}

void TMainForm::FitToScreen() {
    const QScreen* const screen = this->screen();
    if (screen == nullptr) {
        return;
    }
    // Whatever a panel or a translated text asks for, the window never grows past the screen:
    // the clock and the command keys below must stay in sight. The frame is the window
    // manager's and comes off the available area.
    const QSize frame = isVisible() ? frameGeometry().size() - geometry().size() : QSize();
    setMaximumSize(screen->availableGeometry().size() - frame);
}

void TMainForm::FormShow() {
    TLocalizer::Translate();
    setWindowTitle(MainCaption(session_.Version()) + session_.Wiring().CaptionSuffix());
    ShowVersion();
    session_.Start();
    status_->Start();
    times_->Start();
    RefreshButtons();
    emit session_.Show().ShowViewChanged();
    manualKeys_->Refresh();
    const QString startCaption = StartButtonCaptionFor(session_.State().StartKey);
    if (!startCaption.isEmpty()) {
        buttons_->StartBtn->setText(startCaption);
    }
}

void TMainForm::closeEvent(QCloseEvent* event) {
    if (!CloseQuery()) {
        event->ignore();
        return;
    }
    session_.Close();
    event->accept();
    emit Closed();
}

void TMainForm::SearchBtnClick() {
    ConsoleWiring& wiring = session_.Wiring();
    if (buttons_->SearchBtn->isChecked()) {
        wiring.StartSearch();
    } else {
        wiring.StopSearch();
    }
    buttons_->SearchBtn->setChecked(wiring.Searching());
    RefreshButtons();
}

void TMainForm::TestBtnClick() {
    ConsoleWiring& wiring = session_.Wiring();
    if (buttons_->TestBtn->isChecked()) {
        wiring.EnterTestMode();
    } else {
        session_.Show().LeaveTestMode();
    }
    buttons_->TestBtn->setChecked(wiring.TestMode());
    centre_->setCurrentIndex(wiring.TestMode() ? 1 : 0);
    ShowRightColumn();
    if (wiring.TestMode()) {
        testPanel_->RefreshTestPanel();
    }
    manualKeys_->Refresh();
    RefreshButtons();
}

void TMainForm::ShowRightColumn() {
    // A stack is as wide as its widest page: the page not shown must not widen the window.
    for (int i = 0; i < centre_->count(); ++i) {
        const auto policy =
            i == centre_->currentIndex() ? QSizePolicy::Preferred : QSizePolicy::Ignored;
        centre_->widget(i)->setSizePolicy(policy, policy);
    }
    // The page just hidden tells no layout of its new policy; without this the next layout
    // (the clocks shown below) would still count its width and widen the window.
    centre_->updateGeometry();
    // The test page needs the whole width at 1280 pixels; the clocks and the search figures
    // belong to the launch panel. While searching the figures take the clocks' place.
    const bool launch = !session_.Wiring().TestMode();
    times_->setVisible(launch && !session_.Wiring().Searching());
    searchPanel_->setVisible(launch && session_.Wiring().Searching());
}

void TMainForm::ShowVersion() {
    QString text = VersionLabelText(session_.Version());
    if (session_.LogFailed()) {
        text += QStringLiteral("  <b style=\"color:#ff0000\">журнал не записывается</b>");
    }
    versionLabel_->setText(text);
}

}  // namespace kv
