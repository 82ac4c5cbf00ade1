#pragma once

namespace kv {

class ShowControl;
class TExtPlayer;
class TExtStartForm;
class TTimerForm;

// Ctrl+F5: asks for the start condition, then counts down to the chosen time and starts the
// show as the start key does, or waits for the start command from the bus. Returns when the
// show has started or the operator cancelled.
void RunExternalStart(TExtStartForm& dialog, TTimerForm& timer, ShowControl& show,
                      TExtPlayer& player);

}  // namespace kv
