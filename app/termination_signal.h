#pragma once

#include <functional>

// Turns SIGTERM, SIGINT and SIGHUP into a call of `onSignal` on the GUI
// thread, so that the program closes its window and saves its settings as
// on a normal close; and, when `onStatistics` is given, SIGUSR1 into a call
// of it (load measurements read the counts while the program runs).
void HandleTerminationSignals(std::function<void()> onSignal, std::function<void()> onStatistics = {});
