#include "console/windows/TestModePanel.h"

#include <QCoreApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QScrollArea>
#include <QStandardPaths>
#include <QVBoxLayout>

#include "console/ConsoleEnabling.h"
#include "console/ConsoleSession.h"
#include "console/ConsoleWiring.h"
#include "console/DeviceMaintenance.h"
#include "console/ShowControl.h"
#include "console/SoundDeviceNotice.h"
#include "console/TestPanelModel.h"
#include "console/windows/ChannelGraph.h"
#include "console/windows/HvPanel.h"
#include "console/windows/MotorPanel.h"
#include "console/windows/WidgetParts.h"
#include "devices/TCommonControl.h"
#include "devices/THVControl.h"
#include "devices/TMotorControl.h"

namespace kv {

namespace {

QPushButton* NamedButton(const char* name, const QString& text, QWidget* parent) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QString::fromLatin1(name));
    // The keys reach the console's key hook; a button must not keep the keyboard focus.
    b->setFocusPolicy(Qt::NoFocus);
    b->setMinimumHeight(32);
    return b;
}

}  // namespace

TestModePanel::Enabled TestModePanel::FromButtons(const ButtonEnabling& b, bool modeCommands) {
    Enabled e;
    e.Up = b.Up;
    e.Down = b.Down;
    e.Check = b.TestCheck;
    e.All = b.TestAll;
    e.Stop = b.TestStop;
    e.Sound = b.TestSound;
    e.Mixer = b.TestMixer;
    e.TestModeAll = e.LaunchModeAll = e.ChangeId = modeCommands;
    return e;
}

TestModePanel::TestModePanel(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("TestPanel"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    QFont bold = font();
    bold.setBold(true);
    QFont big = bold;
    big.setPointSizeF(big.pointSizeF() * 1.3);

    auto* modes = new QHBoxLayout();
    TestModeBtn = NamedButton("TestModeBtn", QStringLiteral("Режим теста"), this);
    LaunchModeBtn = NamedButton("LaunchModeBtn", QStringLiteral("Режим пуска"), this);
    modes->addWidget(TestModeBtn);
    modes->addWidget(LaunchModeBtn);
    modes->addStretch(1);
    layout->addLayout(modes);

    auto* body = new QHBoxLayout();
    auto* left = new QVBoxLayout();
    auto* data = new QGroupBox(QStringLiteral(" Пульт "), this);
    data->setObjectName(QStringLiteral("ModuleDataGroup"));
    auto* grid = new QGridLayout(data);
    struct Row {
        const char* caption;
        const char* captionName;
        const char* valueName;
    };
    const Row rows[] = {
        {"Номер:", "NumberCaption", "NumberLabel"},
        {"Каналов:", "ChannelsCaption", "ChannelsLabel"},
        {"Версия:", "VersionCaption", "VersionLabel"},
        {"Питание, в:", "SupplyCaption", "SupplyLabel"},
        {"Выход, в:", "OutputCaption", "OutputLabel"},
        {"Форсирование:", "ForcingCaption", "ForcingLabel"},
        {"Температура, °С:", "TemperatureCaption", "TemperatureLabel"},
    };
    for (int i = 0; i < static_cast<int>(data_.size()); ++i) {
        auto* caption = new QLabel(QString::fromUtf8(rows[i].caption), data);
        caption->setObjectName(QString::fromLatin1(rows[i].captionName));
        grid->addWidget(caption, i, 0);
        auto* value = new QLabel(QStringLiteral("?"), data);
        value->setObjectName(QString::fromLatin1(rows[i].valueName));
        value->setFont(bold);
        value->setMinimumWidth(80);
        value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        grid->addWidget(value, i, 1);
        data_[static_cast<size_t>(i)] = value;
    }
    // The version label of the main window is its own; this one is the module's.
    data_[2]->setObjectName(QStringLiteral("ModuleVersionLabel"));
    data_[0]->setFont(big);
    left->addWidget(data);
    auto* selection = new QHBoxLayout();
    UpBtn = NamedButton("UpBtn", QStringLiteral("▲ Пред."), this);
    DownBtn = NamedButton("DownBtn", QStringLiteral("▼ След."), this);
    selection->addWidget(UpBtn);
    selection->addWidget(DownBtn);
    left->addLayout(selection);
    ChangeIdBtn = NamedButton("ChangeIdBtn", QStringLiteral("Изменить ID пульта..."), this);
    left->addWidget(ChangeIdBtn);
    left->addStretch(1);
    body->addLayout(left);

    auto* right = new QVBoxLayout();
    channels_ = new QWidget(this);
    channels_->setObjectName(QStringLiteral("ChannelsPanel"));
    auto* channelsLayout = new QVBoxLayout(channels_);
    channelsLayout->setContentsMargins(0, 0, 0, 0);
    title_ = new QLabel(QStringLiteral("Тестирование каналов"), channels_);
    title_->setObjectName(QStringLiteral("TestTitleLabel"));
    title_->setFont(big);
    channelsLayout->addWidget(title_);
    // What the colours and marks mean, where the crew looks at them.
    auto* legend = NamedLabel(
        QStringLiteral("ChannelLegendLabel"),
        QStringLiteral("<span style=\"background:#00ff00\">&nbsp;подключен&nbsp;</span> "
                       "<span style=\"background:#0000ff;color:white\">&nbsp;не подключен&nbsp;"
                       "</span> <span style=\"background:#ff0000;color:white\">&nbsp;ошибка&nbsp;"
                       "</span> <span style=\"border:1px solid black\">&nbsp;не проверен&nbsp;"
                       "</span> &nbsp;&#9701; в сценарии &nbsp;<span style=\"color:#ff0000\">"
                       "&#9634; красная рамка: в сценарии, но не подключен</span>"),
        channels_);
    legend->setTextFormat(Qt::RichText);
    legend->setWordWrap(true);
    channelsLayout->addWidget(legend);
    graph_ = new ChannelGraph(channels_);
    graph_->SetModuleSource(this);
    // A module with hundreds of channels scrolls inside the page instead of growing the window.
    auto* graphScroll = new QScrollArea(channels_);
    graphScroll->setObjectName(QStringLiteral("ChannelGraphScroll"));
    graphScroll->setFrameShape(QFrame::NoFrame);
    graphScroll->setFocusPolicy(Qt::NoFocus);
    graphScroll->setWidgetResizable(true);
    graphScroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    graphScroll->setWidget(graph_);
    channelsLayout->addWidget(graphScroll, 1);
    right->addWidget(channels_, 1);
    hv_ = new HvPanel(this);
    hv_->SetModuleSource(this);
    right->addWidget(hv_, 1);
    motor_ = new MotorPanel(this);
    motor_->SetModuleSource(this);
    right->addWidget(motor_, 1);
    body->addLayout(right, 1);
    layout->addLayout(body, 1);

    auto* commands = new QHBoxLayout();
    CheckTestBtn = NamedButton("CheckTestBtn", QStringLiteral("<F1> Проверка"), this);
    AllTestBtn = NamedButton("AllTestBtn", QStringLiteral("<F2> Все"), this);
    StopTestBtn = NamedButton("StopTestBtn", QStringLiteral("<F3> Стоп"), this);
    SoundTestBtn = NamedButton("SoundTestBtn", QStringLiteral("<F5> Фонограмма"), this);
    SoundVolBtn = NamedButton("SoundVolBtn", QStringLiteral("<F6> Микшер"), this);
    for (QPushButton* b : {CheckTestBtn, AllTestBtn, StopTestBtn, SoundTestBtn, SoundVolBtn}) {
        b->setFont(bold);
        b->setMinimumHeight(40);
        commands->addWidget(b);
    }
    layout->addLayout(commands);

    SetEnabled(Enabled{});
    RefreshTestPanel();
}

// The wiring may be gone before its window's widgets are (the main window frees its members
// before its children), so the destructor leaves it alone; the hook checks for the panel.
TestModePanel::~TestModePanel() = default;

TCommonControl* TestModePanel::Selected() const {
    return wiring_ != nullptr ? wiring_->SelectedModule() : nullptr;
}

void TestModePanel::Attach(ConsoleWiring& wiring) {
    wiring_ = &wiring;
    connect(UpBtn, &QPushButton::clicked, this, [this] {
        wiring_->SelectUp();
        emit SelectionChanged();
    });
    connect(DownBtn, &QPushButton::clicked, this, [this] {
        wiring_->SelectDown();
        emit SelectionChanged();
    });
    connect(CheckTestBtn, &QPushButton::clicked, this, [this] { wiring_->CheckSelected(); });
    connect(AllTestBtn, &QPushButton::clicked, this, [this] { wiring_->TestAll(); });
    connect(StopTestBtn, &QPushButton::clicked, this, [this] { wiring_->StopTest(); });

    progress_ = wiring_->Tester().OnProgress.Connect([this](TCommonControl&, int channel) {
        RefreshTestPanel();
        // The operator's "<F3> Стоп" (button or key) arrives as a window event. Not at the
        // redraw after clearing (channel -1): the module test clears the stop request right
        // after it, so a stop let through there would be lost.
        if (channel >= 0) {
            QCoreApplication::processEvents(QEventLoop::AllEvents);
        }
    });
    RefreshTestPanel();
}

void TestModePanel::SetEnabled(const Enabled& e) {
    ChangeIdBtn->setEnabled(e.ChangeId);
    UpBtn->setEnabled(e.Up);
    DownBtn->setEnabled(e.Down);
    CheckTestBtn->setEnabled(e.Check);
    AllTestBtn->setEnabled(e.All);
    StopTestBtn->setEnabled(e.Stop);
    SoundTestBtn->setEnabled(e.Sound);
    SoundVolBtn->setEnabled(e.Mixer);
    TestModeBtn->setEnabled(e.TestModeAll);
    LaunchModeBtn->setEnabled(e.LaunchModeAll);
}

void TestModePanel::RefreshLabels() {
    const TestPanelModel::Labels l = TestPanelModel::ModuleLabels(Selected());
    const QString values[] = {l.Number, l.Channels, l.Version,    l.Supply,
                              l.Output, l.Forcing,  l.Temperature};
    for (size_t i = 0; i < data_.size(); ++i) {
        data_[i]->setText(values[i]);
    }
}

void TestModePanel::RefreshTestPanel() {
    RefreshLabels();
    const TestPanelModel::Panel panel = TestPanelModel::PanelFor(Selected());
    // Hidden first, then shown: showing a panel lays the window out at once, and with the
    // old panel still there the two together would push the window past the screen.
    QWidget* const shown = panel == TestPanelModel::Panel::HighVoltage ? static_cast<QWidget*>(hv_)
                           : panel == TestPanelModel::Panel::Motor
                               ? static_cast<QWidget*>(motor_)
                               : (panel == TestPanelModel::Panel::Channels ? channels_ : nullptr);
    for (QWidget* w : {channels_, static_cast<QWidget*>(hv_), static_cast<QWidget*>(motor_)}) {
        if (w != shown) {
            w->hide();
        }
    }
    if (shown != nullptr) {
        shown->show();
    }
    switch (panel) {
        case TestPanelModel::Panel::Channels:
            graph_->Redraw();
            break;
        case TestPanelModel::Panel::HighVoltage:
            hv_->Refresh();
            break;
        default:
            break;
    }
}

}  // namespace kv

namespace kv {

void TestModePanel::Bind(ConsoleSession& session) {
    session_ = &session;
    Attach(session.Wiring());
    connect(&session.Wiring(), &ConsoleWiring::TestPanelChanged, this,
            &TestModePanel::RefreshTestPanel);
    DeviceMaintenance& maintenance = session.Maintenance();
    connect(TestModeBtn, &QPushButton::clicked, this,
            [&maintenance] { maintenance.SetModeAll(ModeTest); });
    connect(LaunchModeBtn, &QPushButton::clicked, this,
            [&maintenance] { maintenance.SetModeAll(ModeLaunch); });
    connect(ChangeIdBtn, &QPushButton::clicked, this, [this, &maintenance] {
        maintenance.ChangeSelectedNumber();
        RefreshTestPanel();
    });
    connect(SoundTestBtn, &QPushButton::clicked, this, [this] {
        session_->Show().SoundPlayStop();
        emit SelectionChanged();
    });
    connect(SoundVolBtn, &QPushButton::clicked, this, &TestModePanel::OpenMixer);
}

void TestModePanel::RefreshEnabling() {
    const ShowControl& show = session_->Show();
    SetEnabled(FromButtons(show.Buttons(), show.ModeCommandsAllowed()));
    SoundTestBtn->setToolTip(SoundDeviceNoticeFor(session_->State().SoundReady).ToolTip);
}

void TestModePanel::OpenMixer() {
    // The desktop's own volume mixer, the first one installed of those we know.
    for (const char* program :
         {"pavucontrol", "pavucontrol-qt", "mate-volume-control", "xfce4-mixer"}) {
        const QString path = QStandardPaths::findExecutable(QString::fromLatin1(program));
        if (!path.isEmpty() && QProcess::startDetached(path, {})) {
            return;
        }
    }
    QMessageBox::information(this, QStringLiteral("Сообщение"),
                             QStringLiteral("Микшер громкости не найден."));
}

}  // namespace kv
