#pragma once

#include <string>
#include <vector>

#include "capture/wave_input.h"

// Capture through RtAudio: the PulseAudio API first, ALSA when no
// PulseAudio server answers. An empty device name means the default input;
// otherwise it names a PulseAudio source or an ALSA capture device. Once a
// device has opened, later opens ask the same API for it again, so that a
// device lost with its sound server is found again when the server is back.
class RtAudioDriver : public WaveInputDriver {
public:
    explicit RtAudioDriver(std::string deviceName = std::string()) : deviceName(std::move(deviceName)) {}

    int Open(std::unique_ptr<WaveInput>& device, const WaveFormat& format, WaveNotifyTarget* target) override;

private:
    enum class Api { Any, Pulse, Alsa };

    // WaveOk, or what went wrong in `message`.
    int OpenPulse(std::unique_ptr<WaveInput>& device, const WaveFormat& format, WaveNotifyTarget* target,
                  std::string& message);
    int OpenAlsa(std::unique_ptr<WaveInput>& device, const WaveFormat& format, WaveNotifyTarget* target,
                 std::string& message);

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
