#include "input/wave_file_input.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "input/audio_file_reader.h"

namespace {

class WaveFileInput : public WaveInput {
public:
    WaveFileInput(std::unique_ptr<AudioFileReader> reader, const WaveFormat& format, WaveNotifyTarget* target)
        : WaveInput(format, target), reader(std::move(reader))
    {
    }

    ~WaveFileInput() override { StopSource(); }

protected:
    int StartSource() override
    {
        stopping = false;
        player = std::thread([this] { Play(); });
        return WaveOk;
    }

    void StopSource() override
    {
        {
            std::lock_guard<std::mutex> lock(mutex);
            stopping = true;
        }
        wake.notify_all();
        if (player.joinable())
            player.join();
    }

private:
    // One buffer's worth of frames per buffer period, as a sound card would.
    void Play()
    {
        constexpr size_t chunk = 2048;
        const auto period = std::chrono::microseconds(42667);
        auto due = std::chrono::steady_clock::now() + period;
        std::vector<int16_t> frames(2 * chunk);
        for (;;) {
            {
                std::unique_lock<std::mutex> lock(mutex);
                if (wake.wait_until(lock, due, [this] { return stopping; }))
                    return;
            }
            const size_t count = reader->ReadStereo(frames.data(), chunk);
            if (count == 0) {
                ReportEnd();
                return;
            }
            Deliver(frames.data(), count);
            due += period;
        }
    }

    std::unique_ptr<AudioFileReader> reader;
    std::thread player;
    std::mutex mutex;
    std::condition_variable wake;
    bool stopping = false;
};

} // namespace

int WaveFileDriver::Open(std::unique_ptr<WaveInput>& device, const WaveFormat& format, WaveNotifyTarget* target)
{
    auto reader = std::make_unique<AudioFileReader>();
    std::string problem;
    if (!reader->Open(path, problem))
        return DeviceError(problem);
    device = std::make_unique<WaveFileInput>(std::move(reader), format, target);
    return WaveOk;
}
