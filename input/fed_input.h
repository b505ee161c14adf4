#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "input/wave_input.h"

// A capture device whose frames the caller hands over itself, on its own
// thread, through the queue and buffers a sound device fills: for analysing
// a file as fast as it can be read, a block at a time. The notifications go
// nowhere; the caller knows when a buffer is full.
class FedDriver : public WaveInputDriver {
public:
    int Open(std::unique_ptr<WaveInput>& device, const WaveFormat& format, WaveNotifyTarget* target) override;
    // Copies `frameCount` stereo frames into the queued buffers (those that
    // find no buffer are counted as dropped); nothing before Open. Only
    // while the device it opened last is open.
    void Feed(const int16_t* frames, size_t frameCount);

    // Takes the notifications an engine must have before it starts.
    class QuietTarget : public WaveNotifyTarget {
    public:
        void PostWaveData(WaveHeader*) override {}
        void PostWaveClose() override {}
        void PostWaveError(const std::string&) override {}
    };

private:
    class FedInput;
    FedInput* input = nullptr;
};
