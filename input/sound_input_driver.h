#pragma once

#include <string>
#include <vector>

#include "input/wave_input.h"

// Capture from the sound server or the sound card: PulseAudio first (its
// own API; PipeWire desktops serve it through pipewire-pulse), ALSA through
// RtAudio when no PulseAudio server answers. An empty device name means the
// default input; otherwise it names a PulseAudio source or an ALSA capture
// device. Once a device has opened, later opens ask the same API for it
// again, so that a device lost with its sound server is found again when
// the server is back.
class SoundInputDriver : public WaveInputDriver {
public:
    explicit SoundInputDriver(std::string deviceName = std::string()) : deviceName(std::move(deviceName)) {}

    int Open(std::unique_ptr<WaveInput>& device, const WaveFormat& format, WaveNotifyTarget* target) override;

private:
    enum class Api { Any, Pulse, Alsa };

    std::string deviceName;
    Api openedApi = Api::Any;
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
