#pragma once

#include <QElapsedTimer>
#include <QThread>
#include <functional>
#include <memory>
#include <vector>

#include "../common/TempDir.h"
#include "../devices/LogCapture.h"
#include "../shows/SimBusPump.h"
#include "../shows/TestThreadClock.h"
#include "ScriptedDialogs.h"
#include "console/ConsoleState.h"
#include "console/ConsoleWiring.h"
#include "console/ShowControl.h"
#include "core/ThreadPriority.h"
#include "devices/TControls.h"
#include "shows/AudioSystem.h"
#include "shows/TExtPlayer.h"
#include "shows/TProjects.h"
#include "sim/SimBus.h"
#include "sim/SimConsole.h"
#include "sim/SimRig.h"

// The key hook as the window calls it, with the window's commands going to `window` (none when
// null).
inline kv::KeyDecision HandleKey(kv::ShowControl& show, const kv::KeyStroke& key,
                                 const kv::WindowKeyInputs& inputs,
                                 std::function<void(const kv::KeyAction&)> window) {
    struct Commands : kv::WindowCommands {
        std::function<void(const kv::KeyAction&)> perform;
        void Perform(const kv::KeyAction& action) override {
            if (perform) {
                perform(action);
            }
        }
    } commands;
    commands.perform = std::move(window);
    return show.HandleKey(key, inputs, commands);
}
inline kv::KeyDecision HandleKey(kv::ShowControl& show, int keyCode,
                                 const kv::WindowKeyInputs& inputs,
                                 std::function<void(const kv::KeyAction&)> window) {
    return HandleKey(show, kv::KeyStroke{.Code = keyCode}, inputs, std::move(window));
}

// The console below its windows over the simulated demo rig (firing modules 3, 7 and 12, HV
// module 20 on converter 0; motor 30 and another console on converter 1): bus wiring, player,
// slots, state and the show control, with the window's dialogs and hooks recorded. Only the
// test thread moves the clock; soundtracks go to the null output.
struct ShowControlRig {
    LogCapture log;
    TempDir dir;
    TestThreadClock clock{100000};
    kv::ScopedClock useClock{clock};
    std::shared_ptr<kv::SimBus> bus;
    std::unique_ptr<kv::ConsoleWiring> wiring;
    std::unique_ptr<kv::TExtPlayer> player;
    kv::TProjects projects;
    kv::ConsoleState state;
    kv::ScriptedDialogs dialogs;
    std::unique_ptr<kv::ShowControl> show;

    // What the window was told.
    QString nextFile;                                   // the file dialog's answer
    std::vector<std::pair<QString, QString>> warnings;  // present-warning dialogs
    bool warningAnswer = true;
    QStringList redWindow;
    QStringList errors;
    std::vector<int> selectedCues;
    std::vector<std::pair<int, int>> keyChanges;
    int buttonRefreshes = 0;

    ShowControlRig() {
        kv::SelectAudioOutput(kv::AudioOutput::Null);
        kv::SimRig rig = kv::SimRig::Demo();
        rig.options.pacing = false;
        bus = std::shared_ptr<kv::SimBus>(rig.Build());
        wiring = std::make_unique<kv::ConsoleWiring>(bus, QStringLiteral("demo"));
        wiring->Open();
        // The bus worker logs once what scheduling it got, from its own thread: the line must
        // not land among the lines a test reads. The worker is a real thread; its start is
        // waited for in real time.
        QElapsedTimer started;
        started.start();
        while (!kv::FirstSchedulingGrant() && started.elapsed() < 2000) {
            QThread::msleep(1);
        }
        player = std::make_unique<kv::TExtPlayer>(wiring->Controls());
        show = std::make_unique<kv::ShowControl>(*wiring, *player, projects, state);
        dialogs.ScriptFile = [this] { return nextFile; };
        dialogs.SoundFile = [this] { return nextFile; };
        dialogs.PresentWarning = [this](const QString& message, const QString& list) {
            warnings.emplace_back(message, list);
            return warningAnswer;
        };
        dialogs.Error = [this](const QString& text) { errors << text; };
        show->SetDialogs(dialogs);
        kv::ShowControl* s = show.get();
        QObject::connect(s, &kv::ShowControl::WarningRaised,
                         [this](const QString& text) { redWindow << text; });
        QObject::connect(s, &kv::ShowControl::CueSelected,
                         [this](int cue) { selectedCues.push_back(cue); });
        QObject::connect(s, &kv::ShowControl::ManualKeyChanged,
                         [this](int a, int c) { keyChanges.emplace_back(a, c); });
        QObject::connect(s, &kv::ShowControl::ButtonsChanged, [this] { ++buttonRefreshes; });
    }
    ~ShowControlRig() {
        wiring.reset();
        show.reset();
        player.reset();
        kv::SelectAudioOutput(kv::AudioOutput::Device);
    }

    kv::TControls& Controls() const { return wiring->Controls(); }
    kv::TCommonDevice* Register(int address, int converter = 0) {
        return Controls().RegisterDevice(address, converter);
    }
    // Loads script text into the current slot through the script button.
    void LoadScript(const QByteArray& text, const QString& name = QStringLiteral("show.txt")) {
        nextFile = dir.write(name, text);
        show->ToggleScript();
    }
    // Log lines without their time stamps.
    QStringList Lines() const {
        QStringList out;
        for (const QString& line : log.Lines()) {
            const qsizetype text = line.indexOf(QStringLiteral(": "));
            out << (text < 0 ? line : line.mid(text + 2));
        }
        return out;
    }
    QStringList LinesFrom(int first) const { return Lines().mid(first); }

    template <class Done>
    bool PumpUntil(Done done) {
        return PumpSimUntil(clock, *bus, *wiring, done);
    }
    template <class Action>
    void OtherConsole(Action action) {
        ActOnOtherConsoles(*bus, action);
    }
};
