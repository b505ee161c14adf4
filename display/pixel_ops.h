#pragma once

#include <cstdint>

#include "display/bitmap.h"

// Writes one pixel; nothing outside the bitmap or without a buffer.
void PutPixel(BITMAP* bm, int32_t x, int32_t y, uint32_t colour);

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
