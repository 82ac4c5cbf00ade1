#pragma once

#include <functional>

namespace kv {

class ConsoleWiring;
class TExtPlayer;

// Plugs the show player into the console wiring: received frames reach the player after the
// bus manager, the player's idle notification runs the poll step while a show plays, and the
// idle timer's fired-channel step checks one fired channel at a time between shows.
class ShowWiring {
public:
    ShowWiring(ConsoleWiring& wiring, TExtPlayer& player);
    ShowWiring(const ShowWiring&) = delete;
    ShowWiring& operator=(const ShowWiring&) = delete;

    // Runs after the poll step of the player's idle notification (the window's own idle work).
    std::function<void()> OnShowIdle;

private:
    ConsoleWiring& wiring_;
    TExtPlayer& player_;
};

}  // namespace kv
