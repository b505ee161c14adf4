#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "capture/wave_input.h"

// The samples of a 48 kHz 16-bit PCM WAV file, as stereo frames (a mono
// file's samples go to both channels).
struct WaveFileData {
    int channels = 0;
    std::vector<int16_t> stereoFrames;  // interleaved left, right
};

// Reads `path`; false with a sentence saying what is wrong in `problem`.
bool ReadWaveFile(const std::string& path, WaveFileData& data, std::string& problem);

// Plays a WAV file into the capture buffers at real-time pace, then stops;
// the buffers it did not fill stay queued.
class WaveFileDriver : public WaveInputDriver {
public:
    explicit WaveFileDriver(std::string path) : path(std::move(path)) {}
    int Open(std::unique_ptr<WaveInput>& device, const WaveFormat& format, WaveNotifyTarget* target) override;

private:
    std::string path;
};
