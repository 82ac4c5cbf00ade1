#include "console/windows/CommandButtons.h"

#include <QHBoxLayout>
#include <QPushButton>
#include "console/ConsoleSession.h"
#include "console/ShowControl.h"
#include "console/SoundDeviceNotice.h"

namespace kv {

namespace {

QPushButton* NewButton(const QString& name, const QString& text, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(name);
    // The keyboard belongs to the key hook and the cue list; a focused button would take
    // Enter and the space bar.
    button->setFocusPolicy(Qt::NoFocus);
    // Not the width of its text: a long translated caption is cut rather than widening the
    // window past the screen.
    button->setMinimumSize(40, 40);
    QFont font = button->font();
    font.setBold(true);
    button->setFont(font);
    return button;
}

}  // namespace

CommandButtons::CommandButtons(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("ButtonPanel"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    ProjectBtn = NewButton(QStringLiteral("ProjectBtn"), QStringLiteral("<F2> Сценарий"), this);
    SoundBtn = NewButton(QStringLiteral("SoundBtn"), QStringLiteral("<F3> Фонограмма"), this);
    BeginBtn = NewButton(QStringLiteral("BeginBtn"), QStringLiteral("<F4> В начало"), this);
    StartBtn = NewButton(QStringLiteral("StartBtn"), QStringLiteral("<F5> Старт"), this);
    StopBtn = NewButton(QStringLiteral("StopBtn"), QStringLiteral("<F6> Стоп"), this);
    SaveBtn = NewButton(QStringLiteral("SaveBtn"), QStringLiteral("<F8> Запись"), this);
    CheckBtn = NewButton(QStringLiteral("CheckBtn"), QStringLiteral("<F9> Проверка"), this);
    TestBtn = NewButton(QStringLiteral("TestBtn"), QStringLiteral("<TAB> Тест"), this);
    SearchBtn = NewButton(QStringLiteral("SearchBtn"), QStringLiteral("<F10> Поиск"), this);
    TestBtn->setCheckable(true);
    SearchBtn->setCheckable(true);
    StartBtn->setStyleSheet(
        QStringLiteral("QPushButton:enabled { background: rgb(0,200,0); color: black; }"));
    StopBtn->setStyleSheet(
        QStringLiteral("QPushButton:enabled { background: rgb(230,0,0); color: white; }"));
    for (QPushButton* button :
         {ProjectBtn, SoundBtn, BeginBtn, StartBtn, StopBtn, SaveBtn, CheckBtn}) {
        layout->addWidget(button, 1);
        button->setEnabled(false);
    }
    // "<TAB> Тест" and "<F10> Поиск" belong to the device list; the main window places them
    // under it.
}

}  // namespace kv

namespace kv {

void CommandButtons::Bind(ConsoleSession& session) {
    session_ = &session;
    ShowControl& show = session.Show();
    connect(ProjectBtn, &QPushButton::clicked, &show, &ShowControl::ToggleScript);
    connect(SoundBtn, &QPushButton::clicked, &show, &ShowControl::ToggleSound);
    connect(BeginBtn, &QPushButton::clicked, &show, &ShowControl::Rewind);
    connect(StartBtn, &QPushButton::clicked, &show, &ShowControl::Start);
    connect(StopBtn, &QPushButton::clicked, &show, &ShowControl::Stop);
    connect(SaveBtn, &QPushButton::clicked, &session,
            [&session] { session.RunMemoryOperation(MemoryCommand::Write); });
    connect(CheckBtn, &QPushButton::clicked, &session,
            [&session] { session.RunMemoryOperation(MemoryCommand::Verify); });
}

void CommandButtons::Refresh() {
    const ButtonEnabling b = session_->Show().Buttons();
    TestBtn->setEnabled(b.Test);
    SearchBtn->setEnabled(b.Search);
    ProjectBtn->setEnabled(b.Project);
    SoundBtn->setEnabled(b.Sound);
    // A greyed soundtrack key says why when the device is missing.
    SoundBtn->setToolTip(SoundDeviceNoticeFor(session_->State().SoundReady).ToolTip);
    BeginBtn->setEnabled(b.Begin);
    StartBtn->setEnabled(b.Start);
    StopBtn->setEnabled(b.Stop);
    SaveBtn->setEnabled(b.Save);
    CheckBtn->setEnabled(b.Check);
}

}  // namespace kv
