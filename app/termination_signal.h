#pragma once

#include <functional>

// Turns SIGTERM, SIGINT and SIGHUP into a call of `onSignal` on the GUI thread, so
// that the program closes its window and saves its settings as on a
// normal close.
void HandleTerminationSignals(std::function<void()> onSignal);
