#pragma once

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

// Writes sound files with libsndfile itself, for the readers to read.
struct SoundFileSpec {
    int format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    int rate = 48000;
    int channels = 2;
};

// `frames` frames of `sample(channel, frame)` (-1 .. 1); 16-bit files hold
// round(sample * 32768), clipped. False when libsndfile refuses the format.
inline bool WriteSoundFile(const std::string& path, const SoundFileSpec& spec, long frames,
                           const std::function<double(int, long)>& sample)
{
    SF_INFO info = {};
    info.samplerate = spec.rate;
    info.channels = spec.channels;
    info.format = spec.format;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file)
        return false;
    const bool shorts = (spec.format & SF_FORMAT_SUBMASK) == SF_FORMAT_PCM_16;
    std::vector<double> stretch;
    std::vector<short> stretch16;
    for (long f = 0; f < frames;) {
        const long n = std::min(frames - f, 4096L);
        stretch.resize(static_cast<size_t>(n) * spec.channels);
        for (long i = 0; i < n; ++i)
            for (int c = 0; c < spec.channels; ++c)
                stretch[static_cast<size_t>(i) * spec.channels + c] = sample(c, f + i);
        if (shorts) {
            stretch16.resize(stretch.size());
            for (size_t i = 0; i < stretch.size(); ++i)
                stretch16[i] = static_cast<short>(std::clamp(std::lround(stretch[i] * 32768), -32768L, 32767L));
            sf_writef_short(file, stretch16.data(), n);
        } else {
            sf_writef_double(file, stretch.data(), n);
        }
        f += n;
    }
    return sf_close(file) == 0;
}

// A sine of `frequency` Hz at `amplitude` of full scale on every channel.
inline std::function<double(int, long)> Sine(double frequency, double amplitude, int rate)
{
    return [=](int, long n) { return amplitude * std::sin(6.28318 * frequency * n / rate); };
}
