#include "display/colour_map.h"

#include <cmath>

#include "display/bitmap.h"
#include "settings/shared_settings.h"

uint32_t ColorMap[ColorMapSize];

namespace {

struct Stop {
    double r, g, b;
};

constexpr Stop Normal[6] = {{0, 0, 0}, {0, 0, 255}, {0, 200, 255}, {0, 255, 0}, {255, 255, 0}, {255, 0, 0}};
constexpr Stop Inversed[6] = {{255, 255, 255}, {255, 255, 0}, {255, 55, 0},
                              {255, 0, 255},   {0, 0, 255},     {0, 255, 255}};
constexpr Stop Grayscale[6] = {{0, 0, 0},       {50, 50, 50},    {100, 100, 100},
                               {150, 150, 150}, {200, 200, 200}, {255, 255, 255}};

struct ContrastCache {
    bool valid = false;
    int32_t low = 0;
    int32_t high = 0;
    double L = 0.0;  // log2 of the lower bound
    double W = 0.0;  // log2 of the upper bound minus L
    double lo = 0.0;
    double hi = 0.0;
};

ContrastCache cache;

double Log2(double x)
{
    return std::log(x) / std::log(2.0);
}

const Stop* Palette(int32_t type)
{
    return type == 1 ? Inversed : type == 2 ? Grayscale : Normal;
}

uint32_t ToColour(const Stop& s)
{
    return RGB(static_cast<uint8_t>(s.r), static_cast<uint8_t>(s.g), static_cast<uint8_t>(s.b));
}

void UpdateBounds()
{
    if (cache.valid && cache.low == SharedSettings.ContrastLow && cache.high == SharedSettings.ContrastHigh)
        return;
    cache.lo = std::pow(2.0, SharedSettings.ContrastLow * 0.1 - 5);
    cache.hi = 100 * std::pow(2.0, SharedSettings.ContrastHigh * 0.1 - 5);
    cache.low = SharedSettings.ContrastLow;
    cache.high = SharedSettings.ContrastHigh;
    cache.L = Log2(cache.lo);
    cache.W = Log2(cache.hi) - Log2(cache.lo);
    cache.valid = true;
}

} // namespace

uint32_t ColourOf(float x)
{
    const Stop* stops = Palette(SharedSettings.ColorType);
    if (x < 1e-8f)
        return ToColour(stops[0]);
    UpdateBounds();
    // Outside the bounds t lands below 0 or above 250 and is clamped there.
    double t = (Log2(x) - cache.L) * 256 / cache.W;
    if (t > 250)
        t = 250;
    else if (t < 0 || std::isnan(t))
        t = 0;
    const int u = static_cast<int>(t);
    const int k = u / 51;
    const double f = (u % 51) * 0.0196078431372549;
    const Stop& a = stops[k];
    const Stop& b = stops[k + 1];
    const int red = static_cast<int>(b.r * f + a.r * (1 - f));
    const int green = static_cast<int>(b.g * f + a.g * (1 - f));
    const int blue = static_cast<int>(b.b * f + a.b * (1 - f));
    return static_cast<uint32_t>(red | green << 8 | blue << 16);
}

void RebuildColorMap()
{
    for (int i = 0; i < ColorMapSize; ++i)
        ColorMap[i] = ColourOf(static_cast<float>(i * 0.005));
}
