#include "input/alsa_input.h"

#include <RtAudio.h>
#include <alsa/asoundlib.h>

#include <memory>
#include <mutex>


namespace {

class RtAudioInput;

// RtAudio's error callback carries no user data: the one open input
// registers itself here to receive its stream's errors.
std::mutex activeLock;
RtAudioInput* activeInput = nullptr;

void RouteError(RtAudioError::Type type, const std::string& text);

class RtAudioInput : public WaveInput {
public:
    RtAudioInput(const WaveFormat& format, WaveNotifyTarget* target)
        : WaveInput(format, target), audio(RtAudio::LINUX_ALSA)
    {
        audio.showWarnings(false);
    }

    ~RtAudioInput() override
    {
        StopSource();
        Unregister();
        try {
            if (audio.isStreamOpen())
                audio.closeStream();
        } catch (const RtAudioError&) {
        }
    }

    // WaveOk, or the device's message in `message`.
    int OpenStream(unsigned deviceId, std::string& message)
    {
        RtAudio::StreamParameters parameters;
        parameters.deviceId = deviceId;
        parameters.nChannels = static_cast<unsigned>(Format().channels);
        RtAudio::StreamOptions options;
        options.streamName = "Tavimeter";
        unsigned frames = WaveFramesPerBuffer;
        Register();
        try {
            audio.openStream(nullptr, &parameters, RTAUDIO_SINT16, static_cast<unsigned>(Format().sampleRate),
                             &frames, &RtAudioInput::Callback, this, &options, &RouteError);
        } catch (const RtAudioError& e) {
            message = e.getMessage();
        }
        streamOpen = audio.isStreamOpen();
        if (!streamOpen) {
            Unregister();
            if (message.empty())
                message = openFailure.empty() ? "The sound input could not be opened." : openFailure;
            return WaveErrorDevice;
        }
        return WaveOk;
    }

    void OnError(RtAudioError::Type type, const std::string& text)
    {
        if (!streamOpen.load()) {
            openFailure = text;
            return;
        }
        // Overruns are warnings and cost only the lost frames; a failed read
        // or any real error means the device is gone.
        const bool warning = type == RtAudioError::WARNING || type == RtAudioError::DEBUG_WARNING;
        if (warning && text.find("read error") == std::string::npos)
            return;
        ReportFailure(text);
    }

protected:
    int StartSource() override
    {
        try {
            audio.startStream();
        } catch (const RtAudioError& e) {
            return DeviceError(e.getMessage());
        }
        return audio.isStreamRunning() ? WaveOk : DeviceError("The sound input did not start.");
    }

    void StopSource() override
    {
        try {
            if (audio.isStreamRunning())
                audio.abortStream();
        } catch (const RtAudioError&) {
        }
    }

private:
    static int Callback(void*, void* input, unsigned frames, double, RtAudioStreamStatus, void* user)
    {
        auto* self = static_cast<RtAudioInput*>(user);
        if (self->HasFailed())
            return 2;  // abort: a dead stream must not spin
        if (input)
            self->Deliver(static_cast<const int16_t*>(input), frames);
        return 0;
    }

    void Register()
    {
        std::lock_guard<std::mutex> lock(activeLock);
        activeInput = this;
    }

    void Unregister()
    {
        std::lock_guard<std::mutex> lock(activeLock);
        if (activeInput == this)
            activeInput = nullptr;
    }

    RtAudio audio;
    std::atomic<bool> streamOpen{false};
    std::string openFailure;
};

void RouteError(RtAudioError::Type type, const std::string& text)
{
    std::lock_guard<std::mutex> lock(activeLock);
    if (activeInput)
        activeInput->OnError(type, text);
}

// ALSA's library prints its configuration errors to stderr: a machine
// without sound cards gives a screenful on every probe. What matters reaches
// us through RtAudio's own errors.
void IgnoreAlsaMessage(const char*, int, const char*, int, const char*, ...) {}

void SilenceAlsaLibrary()
{
    static std::once_flag once;
    std::call_once(once, [] { snd_lib_error_set_handler(IgnoreAlsaMessage); });
}

// The input device called `name` (or the default input when the name is
// empty) with two channels.
bool FindInputDevice(RtAudio& audio, const std::string& name, unsigned& id)
{
    const unsigned count = audio.getDeviceCount();
    for (unsigned i = 0; i < count; ++i) {
        const RtAudio::DeviceInfo info = audio.getDeviceInfo(i);
        if (!info.probed || info.inputChannels < 2)
            continue;
        if (name.empty() ? info.isDefaultInput : info.name == name) {
            id = i;
            return true;
        }
    }
    return false;
}

} // namespace

int OpenAlsaInput(const std::string& deviceName, const WaveFormat& format, WaveNotifyTarget* target,
                  std::unique_ptr<WaveInput>& device, std::string& message)
{
    SilenceAlsaLibrary();
    try {
        auto input = std::make_unique<RtAudioInput>(format, target);
        RtAudio probe(RtAudio::LINUX_ALSA);
        probe.showWarnings(false);
        unsigned id = 0;
        if (!FindInputDevice(probe, deviceName, id)) {
            message = deviceName.empty() ? "ALSA has no stereo capture device"
                                         : "ALSA has no capture device named \"" + deviceName + "\"";
            return WaveErrorDevice;
        }
        if (input->OpenStream(id, message) != WaveOk)
            return WaveErrorDevice;
        device = std::move(input);
        return WaveOk;
    } catch (const RtAudioError& e) {
        message = e.getMessage();
        return WaveErrorDevice;
    }
}

bool ListAlsaCaptureDevices(std::vector<AlsaCaptureDevice>& devices, std::string& problem)
{
    SilenceAlsaLibrary();
    try {
        RtAudio audio(RtAudio::LINUX_ALSA);
        audio.showWarnings(false);
        const unsigned count = audio.getDeviceCount();
        for (unsigned i = 0; i < count; ++i) {
            const RtAudio::DeviceInfo info = audio.getDeviceInfo(i);
            if (info.probed && info.inputChannels > 0)
                devices.push_back({info.name, info.inputChannels, info.isDefaultInput});
        }
    } catch (const RtAudioError& e) {
        problem = e.getMessage();
        return false;
    }
    return true;
}
