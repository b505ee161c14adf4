#include "dsp/window_functions.h"

#include <cmath>

const char* const WindowTypeNames[WindowTypeCount] = {
    "Rectangle", "Hann",     "Hamming", "Gauss", "Blackman",
    "Blackman-Harris", "Flattop", "Vorbis", "Sine", "Triangle",
};

namespace {

bool IsWindowed(unsigned type)
{
    return type >= WindowHann && type <= WindowTriangle;
}

// w(t) for t = i / count. For the flat-top window this is the bracket only:
// its 0.25 is applied after the multiplication with the sample.
double WindowFactor(unsigned type, double t)
{
    switch (type) {
    case WindowHann:
        return 0.5 - 0.5 * std::cos(6.28318 * t);
    case WindowHamming:
        return 0.54 - 0.46 * std::cos(6.28318 * t);
    case WindowGauss: {
        const double u = 2.0 * (t - 0.5);
        return std::exp(-6.25 * (u * u));
    }
    case WindowBlackman:
        return 0.42 - 0.5 * std::cos(6.28318 * t) + 0.08 * std::cos(12.56636 * t);
    case WindowBlackmanHarris:
        return 0.35875 - 0.48829 * std::cos(6.28318 * t) + 0.14128 * std::cos(12.56636 * t)
               - 0.01168 * std::cos(18.84954 * t);
    case WindowFlattop:
        return 1.0 - 1.93 * std::cos(6.28318 * t) + 1.29 * std::cos(12.56636 * t)
               - 0.388 * std::cos(18.84954 * t) + 0.028 * std::cos(25.13272 * t);
    case WindowVorbis: {
        const double s = std::sin(3.14159 * t);
        return std::sin(1.570795 * (s * s));
    }
    case WindowSine:
        return std::sin(3.14159 * t);
    case WindowTriangle: {
        const double b = 2.0 * t;
        return b <= 1.0 ? b : 2.0 - b;
    }
    default:
        return 1.0;
    }
}

float Windowed(unsigned type, double factor, float sample)
{
    if (type == WindowFlattop)
        return static_cast<float>((factor * sample) * 0.25);
    return static_cast<float>(factor * sample);
}

} // namespace

void ApplyWindow(float* values, int count, unsigned type)
{
    if (!IsWindowed(type))
        return;
    for (int i = 0; i < count; ++i) {
        const double t = static_cast<double>(i) / count;
        values[i] = Windowed(type, WindowFactor(type, t), values[i]);
    }
}

void CWindowTable::Apply(float* values, int count, unsigned type)
{
    if (!IsWindowed(type) || count <= 0)
        return;
    if (count != tableCount || type != tableType) {
        factors.resize(static_cast<size_t>(count));
        for (int i = 0; i < count; ++i)
            factors[i] = WindowFactor(type, static_cast<double>(i) / count);
        tableCount = count;
        tableType = type;
    }
    for (int i = 0; i < count; ++i)
        values[i] = Windowed(type, factors[i], values[i]);
}
