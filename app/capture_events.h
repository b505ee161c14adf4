#pragma once

#include <QEvent>
#include <QString>

// The capture layer's notifications as events posted to the main window.
namespace CaptureEvents {

constexpr QEvent::Type WimClose = static_cast<QEvent::Type>(QEvent::User + 0x03BF);
constexpr QEvent::Type WimData = static_cast<QEvent::Type>(QEvent::User + 0x03C0);
constexpr QEvent::Type DeviceFailed = static_cast<QEvent::Type>(QEvent::User + 0x03C1);
constexpr QEvent::Type InputEnded = static_cast<QEvent::Type>(QEvent::User + 0x03C2);

// Close and failure notifications name the device they came from by the
// count of capture starts at the time (CCaptureKeeper::Generation).
class WimCloseEvent : public QEvent {
public:
    explicit WimCloseEvent(int generation) : QEvent(WimClose), generation(generation) {}
    const int generation;
};

class InputEndedEvent : public QEvent {
public:
    explicit InputEndedEvent(int generation) : QEvent(InputEnded), generation(generation) {}
    const int generation;
};

class DeviceFailedEvent : public QEvent {
public:
    DeviceFailedEvent(const QString& message, int generation)
        : QEvent(DeviceFailed), message(message), generation(generation)
    {
    }
    const QString message;
    const int generation;
};

} // namespace CaptureEvents
