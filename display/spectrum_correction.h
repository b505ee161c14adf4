#pragma once

#include <cmath>
#include <functional>
#include <vector>

// A microphone's correction on the analysis grid: the linear gain of each
// of the 4096 grid bins (5.859375 Hz apart), from `gainDb(f)` dB at f Hz;
// empty for none.
inline std::vector<float> GridGains(const std::function<double(double)>& gainDb)
{
    std::vector<float> gains;
    if (!gainDb)
        return gains;
    for (int k = 0; k < 4096; ++k)
        gains.push_back(static_cast<float>(std::pow(10.0, gainDb(k * 5.859375) / 20.0)));
    return gains;
}

// `spectrum` (4096 magnitudes) times `gains` in `buffer`, or `spectrum`
// itself when there are no gains or no spectrum.
inline const float* Corrected(const float* spectrum, const std::vector<float>& gains, std::vector<float>& buffer)
{
    if (!spectrum || gains.empty())
        return spectrum;
    buffer.resize(gains.size());
    for (size_t k = 0; k < gains.size(); ++k)
        buffer[k] = spectrum[k] * gains[k];
    return buffer.data();
}
