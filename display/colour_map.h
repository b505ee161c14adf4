#pragma once

#include <cstdint>

// Magnitudes to colours: a logarithmic scale between the contrast bounds
// onto a five-segment ramp of the colour scheme.

constexpr int ColorMapSize = 20000;
extern uint32_t ColorMap[ColorMapSize];

// The colour of magnitude x under the current scheme and contrast.
uint32_t ColourOf(float x);
// Refills ColorMap: entry i holds ColourOf(i * 0.005).
void RebuildColorMap();
// The table's colour for magnitude x, clamped to the table. Inline: the
// views call it per pixel.
inline uint32_t LookupColour(float x)
{
    const double scaled = x * 20000.0 * 0.01;
    if (!(scaled >= 0))
        return ColorMap[0];
    if (scaled >= ColorMapSize)
        return ColorMap[ColorMapSize - 1];
    return ColorMap[static_cast<int>(scaled)];
}
