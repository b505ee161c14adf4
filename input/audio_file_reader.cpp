#include "input/audio_file_reader.h"

#include "input/sound_file_probe.h"

#include <sndfile.h>
#include <soxr.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>

namespace {

constexpr size_t StretchFrames = 4096;

int16_t ToSample(float x)
{
    const double scaled = std::nearbyint(static_cast<double>(x) * 32768.0);
    if (!(scaled > -32768.0))
        return -32768;  // also NaN
    return scaled >= 32767.0 ? 32767 : static_cast<int16_t>(scaled);
}

std::string FileName(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

void AudioFileReader::FileClose::operator()(sf_private_tag* f) const
{
    sf_close(f);
}

void AudioFileReader::ResamplerDelete::operator()(soxr* r) const
{
    soxr_delete(r);
}

// Opening runs first in a child process: on a damaged header libsndfile
// may never return, or crash, and then only the child is lost.
bool AudioFileReader::HeaderParses(const std::string& path, std::string& problem) const
{
    const SoundFileProbe probe = ProbeSoundFile(path, headerTimeLimitMs);
    if (probe != SoundFileProbe::TooSlow && probe != SoundFileProbe::Crashed)
        return true;
    problem = "The file " + path + " cannot be read as sound: its header is damaged (the sound-file library " +
              (probe == SoundFileProbe::TooSlow ? "does not finish reading it)." : "fails on it).");
    return false;
}

AudioFileReader::AudioFileReader() = default;
AudioFileReader::~AudioFileReader() = default;

bool AudioFileReader::Open(const std::string& path, std::string& problem)
{
    struct stat status;
    if (stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode)) {
        problem = path + " is a folder, not a sound file.";
        return false;
    }
    if (!HeaderParses(path, problem))
        return false;
    SF_INFO info = {};
    file.reset(sf_open(path.c_str(), SFM_READ, &info));
    if (!file) {
        problem = "The file " + path + " cannot be read as sound: " + sf_strerror(nullptr);
        return false;
    }
    if (info.samplerate < LowestRate || info.samplerate > HighestRate) {
        problem = path + " is sampled at " + std::to_string(info.samplerate) + " Hz; Tavimeter reads " +
                  std::to_string(LowestRate) + " to " + std::to_string(HighestRate) + " Hz.";
        file.reset();
        return false;
    }
    if (info.channels < 1 || info.frames <= 0) {
        problem = path + " has no samples.";
        file.reset();
        return false;
    }
    channels = info.channels;
    rate = info.samplerate;
    format = info.format;
    const double frames = static_cast<double>(info.frames) * EngineRate / rate;
    frameCount = frames < 1e15 ? static_cast<uint64_t>(frames) : 0;
    if (channels > 2)
        notice = FileName(path) + " has " + std::to_string(channels) + " channels; the first two are analysed.";
    if (rate != EngineRate) {
        soxr_error_t error = nullptr;
        const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
        const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
        resampler.reset(soxr_create(rate, EngineRate, 2, &error, &io, &quality, nullptr));
        if (!resampler) {
            problem = path + " cannot be converted to 48 kHz: " + (error ? error : "unknown error");
            file.reset();
            return false;
        }
    }
    return true;
}

bool AudioFileReader::SkipTo(uint64_t frame)
{
    if (!file)
        return false;
    if (frame == 0)
        return true;
    const unsigned __int128 source = static_cast<unsigned __int128>(frame) * static_cast<unsigned>(rate) / EngineRate;
    return source < static_cast<unsigned __int128>(SF_COUNT_MAX) &&
           sf_seek(file.get(), static_cast<sf_count_t>(source), SEEK_SET) >= 0;
}

// 16-bit PCM at the engine's rate: libsndfile hands the stored samples over
// unchanged.
bool AudioFileReader::ReadsExactly() const
{
    return rate == EngineRate && (format & SF_FORMAT_SUBMASK) == SF_FORMAT_PCM_16;
}

size_t AudioFileReader::ReadStereo(int16_t* stereo, size_t maxFrames)
{
    if (!file)
        return 0;
    if (resampler)
        return ReadResampled(stereo, maxFrames);
    size_t done = 0;
    while (done < maxFrames && !sourceEnded) {
        const size_t wanted = std::min(maxFrames - done, StretchFrames);
        if (ReadsExactly()) {
            shorts.resize(wanted * channels);
            const sf_count_t got = sf_readf_short(file.get(), shorts.data(), static_cast<sf_count_t>(wanted));
            for (sf_count_t f = 0; f < got; ++f) {
                stereo[2 * (done + f)] = shorts[f * channels];
                stereo[2 * (done + f) + 1] = shorts[f * channels + (channels > 1 ? 1 : 0)];
            }
            done += got > 0 ? static_cast<size_t>(got) : 0;
            sourceEnded = got < static_cast<sf_count_t>(wanted);
        } else {
            const size_t got = ReadSourceStereo(wanted);
            for (size_t i = 0; i < 2 * got; ++i)
                stereo[2 * done + i] = ToSample(sourceStereo[i]);
            done += got;
        }
    }
    return done;
}

size_t AudioFileReader::ReadSourceStereo(size_t maxFrames)
{
    interleaved.resize(maxFrames * channels);
    sourceStereo.resize(2 * maxFrames);
    const sf_count_t read = sf_readf_float(file.get(), interleaved.data(), static_cast<sf_count_t>(maxFrames));
    const size_t got = read > 0 ? static_cast<size_t>(read) : 0;
    for (size_t f = 0; f < got; ++f) {
        sourceStereo[2 * f] = interleaved[f * channels];
        sourceStereo[2 * f + 1] = interleaved[f * channels + (channels > 1 ? 1 : 0)];
    }
    if (got < maxFrames)
        sourceEnded = true;
    return got;
}

// Feeds the converter stretch by stretch until it gives frames; at the end
// of the file it is flushed for the frames it still holds.
size_t AudioFileReader::ReadResampled(int16_t* stereo, size_t maxFrames)
{
    converted.resize(2 * maxFrames);
    size_t done = 0;
    while (done < maxFrames && !flushed) {
        if (pendingFrames == 0 && !sourceEnded) {
            pendingFrames = ReadSourceStereo(std::clamp<size_t>(maxFrames * rate / EngineRate, 64, StretchFrames));
            pendingStart = 0;
        }
        const bool flush = pendingFrames == 0 && sourceEnded;
        const float* in = flush ? nullptr : sourceStereo.data() + 2 * pendingStart;
        size_t consumed = 0;
        size_t produced = 0;
        const bool failed = soxr_process(resampler.get(), in, pendingFrames, &consumed, converted.data() + 2 * done,
                                         maxFrames - done, &produced) != nullptr;
        consumed = std::min(consumed, pendingFrames);
        pendingFrames -= consumed;
        pendingStart += consumed;
        done += produced;
        // A converter that fails, or takes and gives nothing, ends the stream.
        if (failed || (flush && produced == 0) || (consumed == 0 && produced == 0))
            flushed = true;
    }
    for (size_t i = 0; i < 2 * done; ++i)
        stereo[i] = ToSample(converted[i]);
    return done;
}
