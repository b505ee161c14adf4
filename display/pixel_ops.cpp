#include "display/pixel_ops.h"

#include <cstddef>
#include <cstring>
#include <algorithm>
#include <utility>

void FillRowSpan(BITMAP* bm, int32_t x0, int32_t x1, int32_t y, uint32_t colour)
{
    if (!bm->bmBits || y < 0 || y >= bm->bmHeight)
        return;
    x0 = std::max(x0, 0);
    x1 = std::min(x1, bm->bmWidth);
    const int bytes = bm->bmBitsPixel / 8;
    uint8_t* p = static_cast<uint8_t*>(bm->bmBits) + static_cast<ptrdiff_t>(y) * bm->bmWidthBytes +
                 static_cast<ptrdiff_t>(x0) * bytes;
    if (bytes == 4) {
        // Blue, green, red as one word; the fourth byte keeps its value.
        const uint32_t bgr = (colour >> 16 & 0xFF) | (colour & 0xFF00) | (colour & 0xFF) << 16;
        uint32_t* word = reinterpret_cast<uint32_t*>(p);
        for (int32_t i = 0; i < x1 - x0; ++i)
            word[i] = (word[i] & 0xFF000000u) | bgr;
        return;
    }
    const uint8_t blue = static_cast<uint8_t>(colour >> 16);
    const uint8_t green = static_cast<uint8_t>(colour >> 8);
    const uint8_t red = static_cast<uint8_t>(colour);
    for (int32_t x = x0; x < x1; ++x, p += bytes) {
        p[0] = blue;
        p[1] = green;
        p[2] = red;
    }
}

void DrawLineSweep(BITMAP* bm, int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t colour,
                   bool includeLastColumn)
{
    if (x1 == x2) {
        if (y1 > y2)
            std::swap(y1, y2);
        for (int32_t y = y1; y <= y2; ++y)
            PutPixel(bm, x1, y, colour);
        return;
    }
    if (x1 > x2) {
        std::swap(x1, x2);
        std::swap(y1, y2);
    }
    const int32_t dx = x2 - x1;
    const int32_t dy = y2 - y1;
    const double s = 1.0 / dx;
    const int32_t last = includeLastColumn ? dx : dx - 1;
    for (int32_t i = 0; i <= last; ++i) {
        const double ya = y1 + dy * (i * s);
        const double yb = y1 + dy * (i * s + s);
        const int32_t x = x1 + i;
        for (int32_t j = static_cast<int32_t>(ya); j <= yb; ++j)
            PutPixel(bm, x, j, colour);
        for (int32_t k = static_cast<int32_t>(yb); k < ya; ++k)
            PutPixel(bm, x, k, colour);
    }
}

namespace {

// Keeps a shift inside the rows: columns outside the bitmap do not exist.
bool CanShift(const BITMAP* bm, int32_t& a, int32_t& b, int32_t c)
{
    if (a < 0)
        a = 0;
    if (b > bm->bmWidth)
        b = bm->bmWidth;
    return bm->bmBits && bm->bmHeight > 0 && c >= 0 && b - a - c > 0;
}

// Moves the columns [a + c, b) to [a, b - c) (left) or [a, b - c) to
// [a + c, b) (right) in every row, overlap-safe.
void ShiftColumns(BITMAP* bm, int32_t a, int32_t b, int32_t c, bool left)
{
    if (!CanShift(bm, a, b, c))
        return;
    const int p = bm->bmBitsPixel;
    const size_t count = static_cast<size_t>(p * (b - a - c)) / 8;
    const ptrdiff_t near = (a * p) / 8;
    const ptrdiff_t far = (p / 8) * c + (a * p) / 8;
    for (int32_t r = 0; r < bm->bmHeight; ++r) {
        uint8_t* row = static_cast<uint8_t*>(bm->bmBits) + static_cast<ptrdiff_t>(r) * bm->bmWidthBytes;
        if (left)
            std::memmove(row + near, row + far, count);
        else
            std::memmove(row + far, row + near, count);
    }
}

} // namespace

void ShiftColumnsLeft(BITMAP* bm, int32_t a, int32_t b, int32_t c)
{
    ShiftColumns(bm, a, b, c, true);
}

void ShiftColumnsRight(BITMAP* bm, int32_t a, int32_t b, int32_t c)
{
    ShiftColumns(bm, a, b, c, false);
}
