#pragma once

#include <memory>
#include <string>
#include <vector>

#include "input/wave_input.h"

// Records through RtAudio's ALSA API from the capture device `deviceName`
// (RtAudio's name for it), or from the default input when the name is
// empty. WaveOk and an open, stopped device, or WaveErrorDevice with what
// went wrong in `message`.
int OpenAlsaInput(const std::string& deviceName, const WaveFormat& format, WaveNotifyTarget* target,
                  std::unique_ptr<WaveInput>& device, std::string& message);

struct AlsaCaptureDevice {
    std::string name;
    unsigned channels;
    bool isDefault;
};

// ALSA's capture devices. Returns false, with RtAudio's message in
// `problem`, when they could not be asked.
bool ListAlsaCaptureDevices(std::vector<AlsaCaptureDevice>& devices, std::string& problem);
