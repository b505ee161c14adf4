#include "app/termination_signal.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

int signalPipe[2] = {-1, -1};

// Only async-signal-safe work here: the signal's number goes through the
// pipe to the GUI thread.
void OnSignal(int signal)
{
    const char byte = static_cast<char>(signal);
    [[maybe_unused]] const ssize_t written = write(signalPipe[1], &byte, 1);
}

} // namespace

void HandleTerminationSignals(std::function<void()> onSignal, std::function<void()> onStatistics)
{
    if (pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [onSignal, onStatistics] {
        bool close = false;
        char byte;
        while (read(signalPipe[0], &byte, 1) > 0) {
            if (byte == SIGUSR1)
                onStatistics();
            else
                close = true;
        }
        if (close)
            onSignal();
    });
    struct sigaction action = {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGTERM, SIGINT, SIGHUP})
        sigaction(signal, &action, nullptr);
    if (onStatistics)
        sigaction(SIGUSR1, &action, nullptr);
}
