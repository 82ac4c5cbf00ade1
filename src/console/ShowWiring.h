#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <cstdint>
#include <memory>

#include "core/Signal.h"

namespace kv {

class ConsoleWiring;
class TCommonControl;
class TExtPlayer;

// Plugs the show player into the console wiring: received frames reach the player after the
// bus manager, the player's idle notification runs the poll step while a show plays, the idle
// timer's fired-channel step checks one fired channel at a time between shows, and each checked
// channel is written to the event log.
class ShowWiring : public QObject {
    Q_OBJECT
public:
    ShowWiring(ConsoleWiring& wiring, TExtPlayer& player);
    // The hooks it set in the wiring and the player outlive it (the wiring has no way to take a
    // frame handler back); from here on they do nothing, whichever object goes first.
    ~ShowWiring();
    ShowWiring(const ShowWiring&) = delete;
    ShowWiring& operator=(const ShowWiring&) = delete;

signals:
    // After the poll step of the player's idle notification (the window's own idle work).
    void Idle();
    // After the log line of a checked channel (the window redraws that channel's key).
    void ChannelChecked(int32_t module, int32_t channel);

private:
    void ChannelWasChecked(int32_t module, int32_t channel);

    ConsoleWiring& wiring_;
    QPointer<ConsoleWiring> wiringAlive_;
    TExtPlayer& player_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
    Connections conns_;  // to the player
};

// "Тест канала, пульт: 12, канал: 5, состояние: подключен" for a channel (0-based) of a module.
QString ChannelCheckLine(const TCommonControl& module, int32_t channel);

}  // namespace kv
