#pragma once

#include <string>
#include <vector>

#include "capture/wave_input.h"

// Capture through RtAudio: the PulseAudio API first, ALSA when no
// PulseAudio server answers. An empty device name means the default input;
// otherwise it names a PulseAudio source or an ALSA capture device.
class RtAudioDriver : public WaveInputDriver {
public:
    explicit RtAudioDriver(std::string deviceName = std::string()) : deviceName(std::move(deviceName)) {}

    int Open(std::unique_ptr<WaveInput>& device, const WaveFormat& format, WaveNotifyTarget* target) override;

private:
    std::string deviceName;
};

struct InputDeviceDescription {
    std::string api;   // "PulseAudio" or "ALSA"
    std::string name;  // what --device takes
    std::string description;
    bool isDefault;
};

// The capture devices of both APIs; `problems` receives a line for each API
// that could not be asked.
std::vector<InputDeviceDescription> ListInputDevices(std::vector<std::string>& problems);
