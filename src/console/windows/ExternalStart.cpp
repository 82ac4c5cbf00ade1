#include "console/windows/ExternalStart.h"

#include "console/ShowControl.h"
#include "console/windows/TExtStartForm.h"
#include "console/windows/TTimerForm.h"
#include "core/Clock.h"
#include "i18n/Localizer.h"
#include "shows/TExtPlayer.h"

namespace kv {

void RunExternalStart(TExtStartForm& dialog, TTimerForm& timer, ShowControl& show,
                      TExtPlayer& player) {
    const TExtStartForm::Choice choice = dialog.Ask();
    if (choice == TExtStartForm::Choice::Cancelled) {
        return;
    }
    struct Watch : CountdownWatch {
        Watch(const ShowControl& s, const TExtPlayer& p, bool countdown)
            : show(s), player(p), countdown(countdown) {}
        bool ShowPlaying() const override { return player.IsPlaying(); }
        bool WaitStands() const override {
            return countdown ? show.CountdownGoesOn() : player.WaitingExtStart;
        }
        const ShowControl& show;
        const TExtPlayer& player;
        bool countdown;
    };
    if (choice == TExtStartForm::Choice::Clock) {
        // A stop or a disarm while it counts (from the bus, or the player's own) cancels it,
        // and at zero the start rule is asked again.
        show.BeginCountdown();
        if (timer.Run(Message(Msg::TimeToStart), TickCount(), dialog.Plan().targetTick,
                      Watch(show, player, true))) {
            show.CountdownStart();
        } else {
            show.EndCountdown();
        }
        return;
    }
    // The player starts the show itself when the command arrives (on this thread, inside the
    // window's modal loop); any stop of the player clears the wait and closes the window.
    show.LogStartBlock();
    player.WaitingExtStart = true;
    timer.Run(Message(Msg::WaitingForStartCommand), TickCount(), 0, Watch(show, player, false));
    player.WaitingExtStart = false;
}

}  // namespace kv
