#include "app/input_listing.h"

CInputListing::CInputListing(Lister lister) : lister(std::move(lister)) {}

CInputListing::~CInputListing()
{
    if (worker.joinable())
        worker.join();
}

void CInputListing::Refresh()
{
    if (running || !lister)
        return;
    if (worker.joinable())
        worker.join();
    running = true;
    // The lister is copied: the thread uses nothing of this object but the
    // queued hand-over, which Qt drops once the object is gone.
    worker = std::thread([this, list = lister] {
        std::vector<InputDeviceDescription> found = list();
        QMetaObject::invokeMethod(
            this, [this, found = std::move(found)]() mutable { TakeOver(std::move(found)); }, Qt::QueuedConnection);
    });
}

void CInputListing::TakeOver(std::vector<InputDeviceDescription> list)
{
    running = false;
    listed = true;
    devices = std::move(list);
    for (const std::function<void()>& handler : listedHandlers)
        handler();
}
