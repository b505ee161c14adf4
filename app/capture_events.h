#pragma once

#include <QEvent>
#include <QString>

// The capture layer's notifications as events posted to the main window.
namespace CaptureEvents {

constexpr QEvent::Type WimClose = static_cast<QEvent::Type>(QEvent::User + 0x03BF);
constexpr QEvent::Type WimData = static_cast<QEvent::Type>(QEvent::User + 0x03C0);
constexpr QEvent::Type DeviceFailed = static_cast<QEvent::Type>(QEvent::User + 0x03C1);

class DeviceFailedEvent : public QEvent {
public:
    explicit DeviceFailedEvent(const QString& message) : QEvent(DeviceFailed), message(message) {}
    const QString message;
};

} // namespace CaptureEvents
