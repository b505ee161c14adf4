#pragma once

#include <cstdint>

// A rectangle in pixels; right and bottom are exclusive.
struct RECT {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
};

inline int32_t RectWidth(const RECT& r)
{
    return r.right - r.left;
}

inline int32_t RectHeight(const RECT& r)
{
    return r.bottom - r.top;
}

// Describes a pixel buffer: rows top-down, bmWidthBytes bytes each; a pixel
// is blue, green, red (and a fourth byte at 32 bits that is never written).
struct BITMAP {
    int32_t bmType = 0;
    int32_t bmWidth = 0;
    int32_t bmHeight = 0;
    int32_t bmWidthBytes = 0;
    uint16_t bmPlanes = 1;
    uint16_t bmBitsPixel = 32;
    void* bmBits = nullptr;
};

// Colours are 0x00BBGGRR: red in the low byte.
constexpr uint32_t RGB(uint8_t r, uint8_t g, uint8_t b)
{
    return uint32_t(r) | uint32_t(g) << 8 | uint32_t(b) << 16;
}
