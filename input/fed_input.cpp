#include "input/fed_input.h"

class FedDriver::FedInput : public WaveInput {
public:
    FedInput(const WaveFormat& format, WaveNotifyTarget* target) : WaveInput(format, target) {}
    void Feed(const int16_t* frames, size_t frameCount) { Deliver(frames, frameCount); }

protected:
    int StartSource() override { return WaveOk; }
    void StopSource() override {}
};

int FedDriver::Open(std::unique_ptr<WaveInput>& device, const WaveFormat& format, WaveNotifyTarget* target)
{
    auto fed = std::make_unique<FedInput>(format, target);
    input = fed.get();
    device = std::move(fed);
    return WaveOk;
}

void FedDriver::Feed(const int16_t* frames, size_t frameCount)
{
    if (input)
        input->Feed(frames, frameCount);
}
