#include "capture/wave_file_input.h"

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <fstream>
#include <mutex>
#include <thread>

namespace {

constexpr uint16_t FormatPcm = 1;
constexpr uint16_t FormatExtensible = 0xFFFE;

uint32_t Little32(const unsigned char* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

uint16_t Little16(const unsigned char* p)
{
    return uint16_t(p[0] | p[1] << 8);
}

struct FormatChunk {
    uint16_t tag = 0;
    uint16_t channels = 0;
    uint32_t rate = 0;
    uint16_t bits = 0;
    bool found = false;
};

bool ParseFormat(const std::vector<unsigned char>& chunk, FormatChunk& format)
{
    if (chunk.size() < 16)
        return false;
    format.tag = Little16(&chunk[0]);
    format.channels = Little16(&chunk[2]);
    format.rate = Little32(&chunk[4]);
    format.bits = Little16(&chunk[14]);
    // WAVE_FORMAT_EXTENSIBLE: the sub-format's first two bytes are the tag.
    if (format.tag == FormatExtensible && chunk.size() >= 26)
        format.tag = Little16(&chunk[24]);
    format.found = true;
    return true;
}

std::string CheckFormat(const FormatChunk& format, const std::string& name)
{
    if (!format.found)
        return name + " has no format chunk.";
    if (format.tag != FormatPcm)
        return name + " is not PCM (format tag " + std::to_string(format.tag) + "); Tavimeter reads 16-bit PCM.";
    if (format.bits != 16)
        return name + " has " + std::to_string(format.bits) + "-bit samples; Tavimeter reads 16-bit PCM.";
    if (format.rate != 48000)
        return name + " is sampled at " + std::to_string(format.rate) + " Hz; Tavimeter needs 48000 Hz.";
    if (format.channels != 1 && format.channels != 2)
        return name + " has " + std::to_string(format.channels) + " channels; Tavimeter reads mono or stereo.";
    return std::string();
}

void ToStereo(const std::vector<unsigned char>& bytes, int channels, std::vector<int16_t>& frames)
{
    const size_t samples = bytes.size() / 2;
    const size_t frameCount = samples / static_cast<size_t>(channels);
    frames.resize(frameCount * 2);
    for (size_t f = 0; f < frameCount; ++f) {
        const unsigned char* p = &bytes[2 * f * static_cast<size_t>(channels)];
        const int16_t left = static_cast<int16_t>(Little16(p));
        const int16_t right = channels == 2 ? static_cast<int16_t>(Little16(p + 2)) : left;
        frames[2 * f] = left;
        frames[2 * f + 1] = right;
    }
}

class WaveFileInput : public WaveInput {
public:
    WaveFileInput(WaveFileData data, const WaveFormat& format, WaveNotifyTarget* target)
        : WaveInput(format, target), data(std::move(data))
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
        const size_t total = data.stereoFrames.size() / 2;
        for (size_t at = 0; at < total; at += chunk) {
            {
                std::unique_lock<std::mutex> lock(mutex);
                if (wake.wait_until(lock, due, [this] { return stopping; }))
                    return;
            }
            const size_t count = std::min(chunk, total - at);
            Deliver(data.stereoFrames.data() + 2 * at, count);
            due += period;
        }
    }

    WaveFileData data;
    std::thread player;
    std::mutex mutex;
    std::condition_variable wake;
    bool stopping = false;
};

} // namespace

bool ReadWaveFile(const std::string& path, WaveFileData& data, std::string& problem)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        problem = "The file " + path + " cannot be opened.";
        return false;
    }
    unsigned char header[12];
    if (!in.read(reinterpret_cast<char*>(header), sizeof header) || std::memcmp(header, "RIFF", 4) != 0 ||
        std::memcmp(header + 8, "WAVE", 4) != 0) {
        problem = path + " is not a WAV file.";
        return false;
    }
    FormatChunk format;
    unsigned char chunkHeader[8];
    while (in.read(reinterpret_cast<char*>(chunkHeader), sizeof chunkHeader)) {
        const uint32_t size = Little32(chunkHeader + 4);
        if (std::memcmp(chunkHeader, "fmt ", 4) == 0) {
            std::vector<unsigned char> chunk(std::min<uint32_t>(size, 64));
            in.read(reinterpret_cast<char*>(chunk.data()), static_cast<std::streamsize>(chunk.size()));
            if (!in || !ParseFormat(chunk, format)) {
                problem = path + " has a damaged format chunk.";
                return false;
            }
            in.seekg(static_cast<std::streamoff>(size - chunk.size() + (size & 1)), std::ios::cur);
        } else if (std::memcmp(chunkHeader, "data", 4) == 0) {
            problem = CheckFormat(format, path);
            if (!problem.empty())
                return false;
            std::vector<unsigned char> bytes;
            // A streamed file may give 0 or 0xFFFFFFFF: read to the end then.
            const bool sizeKnown = size != 0 && size != 0xFFFFFFFFu;
            if (sizeKnown) {
                bytes.resize(size);
                in.read(reinterpret_cast<char*>(bytes.data()), size);
                bytes.resize(static_cast<size_t>(in.gcount()));
            } else {
                bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
            }
            data.channels = format.channels;
            ToStereo(bytes, format.channels, data.stereoFrames);
            return true;
        } else {
            in.seekg(static_cast<std::streamoff>(size + (size & 1)), std::ios::cur);
        }
    }
    problem = path + " has no sample data.";
    return false;
}

int WaveFileDriver::Open(std::unique_ptr<WaveInput>& device, const WaveFormat& format, WaveNotifyTarget* target)
{
    WaveFileData data;
    std::string problem;
    if (!ReadWaveFile(path, data, problem))
        return DeviceError(problem);
    device = std::make_unique<WaveFileInput>(std::move(data), format, target);
    return WaveOk;
}
