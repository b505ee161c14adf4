#include "input/sound_input_driver.h"

#include "input/alsa_input.h"
#include "input/pulse_input.h"
#include "input/pulse_sources.h"

int SoundInputDriver::Open(std::unique_ptr<WaveInput>& device, const WaveFormat& format, WaveNotifyTarget* target)
{
    std::string pulseMessage;
    if (openedApi != Api::Alsa) {
        if (OpenPulseInput(deviceName, format, target, device, pulseMessage) == WaveOk) {
            openedApi = Api::Pulse;
            return WaveOk;
        }
        if (openedApi == Api::Pulse)
            return DeviceError("The sound input could not be opened again: " + pulseMessage + ".");
    }
    std::string alsaMessage;
    if (OpenAlsaInput(deviceName, format, target, device, alsaMessage) == WaveOk) {
        openedApi = Api::Alsa;
        return WaveOk;
    }
    if (openedApi == Api::Alsa)
        return DeviceError("The sound input could not be opened again: " + alsaMessage + ".");
    return DeviceError("The sound input could not be opened: " + pulseMessage + "; " + alsaMessage + ".");
}

std::vector<InputDeviceDescription> ListInputDevices(std::vector<std::string>& problems)
{
    std::vector<InputDeviceDescription> devices;
    std::vector<PulseSource> sources;
    std::string problem;
    if (ListPulseSources(sources, problem)) {
        for (const PulseSource& s : sources)
            devices.push_back({"PulseAudio", s.name, s.description, s.isDefault});
    } else {
        problems.push_back("PulseAudio: no server answers (" + problem + ")");
    }
    std::vector<AlsaCaptureDevice> cards;
    if (ListAlsaCaptureDevices(cards, problem)) {
        for (const AlsaCaptureDevice& card : cards)
            devices.push_back({"ALSA", card.name, std::to_string(card.channels) + " channels", card.isDefault});
    } else {
        problems.push_back("ALSA: " + problem);
    }
    return devices;
}
