#pragma once

#include <cstddef>
#include <cstdint>

#include "display/bitmap.h"

// Writes one pixel; nothing outside the bitmap or without a buffer.
inline void PutPixel(BITMAP* bm, int32_t x, int32_t y, uint32_t colour)
{
    if (!bm->bmBits || x < 0 || y < 0 || x >= bm->bmWidth || y >= bm->bmHeight)
        return;
    uint8_t* p = static_cast<uint8_t*>(bm->bmBits) + static_cast<ptrdiff_t>(y) * bm->bmWidthBytes +
                 (static_cast<ptrdiff_t>(x) * bm->bmBitsPixel) / 8;
    p[0] = static_cast<uint8_t>(colour >> 16);
    p[1] = static_cast<uint8_t>(colour >> 8);
    p[2] = static_cast<uint8_t>(colour);
}

// Writes pixels x0 .. x1 - 1 of row y, clipped, as PutPixel would.
void FillRowSpan(BITMAP* bm, int32_t x0, int32_t x1, int32_t y, uint32_t colour);

// A line by column sweep. `includeLastColumn` is true for the free
// function's behaviour, false for the raster's (which stops at x2 - 1).
void DrawLineSweep(BITMAP* bm, int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t colour,
                   bool includeLastColumn);

inline void DrawLine(BITMAP* bm, int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t colour)
{
    DrawLineSweep(bm, x1, y1, x2, y2, colour, true);
}

// In every row, columns [a + c, b) move to [a, b - c).
void ShiftColumnsLeft(BITMAP* bm, int32_t a, int32_t b, int32_t c);
// In every row, columns [a, b - c) move to [a + c, b).
void ShiftColumnsRight(BITMAP* bm, int32_t a, int32_t b, int32_t c);
