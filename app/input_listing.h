#pragma once

#include <QObject>

#include <functional>
#include <thread>
#include <vector>

#include "input/sound_input_driver.h"

// The capture devices for the picture's menu, listed off the GUI thread:
// asking the sound server or probing the sound cards can take seconds, and
// the GUI thread must queue a capture buffer again every 43 ms. Refresh
// starts a listing on a thread of its own, unless one is running; when it
// is done its list is taken over on the GUI thread and the listed handlers
// run. Until then the last list stands (empty before the first).
class CInputListing : public QObject {
public:
    using Lister = std::function<std::vector<InputDeviceDescription>()>;

    explicit CInputListing(Lister lister);
    // Waits for a listing that is still running.
    ~CInputListing() override;

    void Refresh();
    const std::vector<InputDeviceDescription>& Devices() const { return devices; }
    // A listing has finished since the program started.
    bool Listed() const { return listed; }
    // A listing is running.
    bool Busy() const { return running; }
    void AddListedHandler(std::function<void()> handler) { listedHandlers.push_back(std::move(handler)); }

private:
    void TakeOver(std::vector<InputDeviceDescription> list);

    Lister lister;
    std::thread worker;
    bool running = false;
    bool listed = false;
    std::vector<InputDeviceDescription> devices;
    std::vector<std::function<void()>> listedHandlers;
};
