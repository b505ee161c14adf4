#pragma once

#include <string>

#include "input/wave_input.h"

// Plays a sound file into the capture buffers at real-time pace, reading it
// as it plays, then stops; the buffers it did not fill stay queued.
class WaveFileDriver : public WaveInputDriver {
public:
    explicit WaveFileDriver(std::string path) : path(std::move(path)) {}
    int Open(std::unique_ptr<WaveInput>& device, const WaveFormat& format, WaveNotifyTarget* target) override;

private:
    std::string path;
};
