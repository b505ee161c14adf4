#include "display/drawing_context.h"

#include <cstddef>
#include <emmintrin.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "display/pixel_ops.h"

namespace {

constexpr uint32_t OpaqueBlack = 0xFF000000u;

// A row copy with plain vector moves: the C library's copy takes a slow
// string-instruction path for rows of this size on some processors.
void CopyPixels(uint32_t* out, const uint32_t* in, int32_t count)
{
    int32_t i = 0;
    for (; i + 4 <= count; i += 4)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i)));
    for (; i < count; ++i)
        out[i] = in[i];
}

// Target pixels first .. last - 1 of a row magnified twice: pixel i takes
// source pixel i / 2.
void DoublePixels(uint32_t* out, const uint32_t* in, int32_t first, int32_t last)
{
    int32_t i = first;
    if (i % 2 != 0 && i < last) {
        out[i] = in[i / 2];
        ++i;
    }
    const int32_t pairs = (last - i) / 2;
    uint32_t* to = out + i;
    const uint32_t* from = in + i / 2;
    for (int32_t k = 0; k < pairs; ++k)
        to[2 * k] = to[2 * k + 1] = from[k];
    if ((last - i) % 2 != 0)
        out[last - 1] = in[(last - 1) / 2];
}

} // namespace

void CDC::StretchBlt(int32_t x, int32_t y, int32_t w, int32_t h, CDC& source, int32_t sx, int32_t sy, int32_t sw,
                     int32_t sh, const RECT* clip)
{
    if (w <= 0 || h <= 0 || sw <= 0 || sh <= 0)
        return;
    BITMAP to = Pixels();
    BITMAP from = source.Pixels();
    if (!to.bmBits || !from.bmBits)
        return;
    const RECT whole{0, 0, to.bmWidth, to.bmHeight};
    const RECT& area = clip ? *clip : whole;
    // Target columns first .. last - 1 and rows top .. bottom - 1, relative
    // to (x, y): inside the target, the surface and the clip.
    const int32_t first = std::max({0, -x, area.left - x});
    const int32_t last = std::min({w, to.bmWidth - x, area.right - x});
    const int32_t top = std::max({0, -y, area.top - y});
    const int32_t bottom = std::min({h, to.bmHeight - y, area.bottom - y});
    if (first >= last || top >= bottom)
        return;
    // Each target column takes the source column it falls on; columns
    // outside the source come out black. The renderer's cases, with every
    // column inside the source, copy rows as they are or magnified twice.
    const bool identity = sw == w && sx + first >= 0 && sx + last <= from.bmWidth;
    const bool doubled = w == 2 * sw && sx >= 0 && sx + sw <= from.bmWidth;
    std::vector<int32_t> columns;
    if (!identity && !doubled) {
        columns.resize(static_cast<size_t>(w));
        for (int32_t i = first; i < last; ++i) {
            const int32_t fx = sx + static_cast<int32_t>(static_cast<int64_t>(i) * sw / w);
            columns[i] = fx >= 0 && fx < from.bmWidth ? fx : -1;
        }
    }
    int32_t previousSourceRow = -2;
    const uint32_t* previousOut = nullptr;
    // Source row sy + j * sh / h (rounded down; j >= 0), stepped without a
    // division per row: quotient and remainder of j * sh / h.
    int64_t rowQuotient = static_cast<int64_t>(top) * sh / h;
    int64_t rowRemainder = static_cast<int64_t>(top) * sh % h;
    const int64_t quotientStep = sh / h;
    const int64_t remainderStep = sh % h;
    for (int32_t j = top; j < bottom; ++j) {
        uint32_t* out = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(to.bmBits) +
                                                    static_cast<ptrdiff_t>(y + j) * to.bmWidthBytes) + x;
        const int32_t fy = sy + static_cast<int32_t>(rowQuotient);
        rowQuotient += quotientStep;
        rowRemainder += remainderStep;
        if (rowRemainder >= h) {
            rowRemainder -= h;
            ++rowQuotient;
        }
        if (fy == previousSourceRow && previousOut) {
            CopyPixels(out + first, previousOut + first, last - first);
            continue;
        }
        previousSourceRow = fy;
        previousOut = out;
        if (fy < 0 || fy >= from.bmHeight) {
            std::fill(out + first, out + last, OpaqueBlack);
            continue;
        }
        const uint32_t* in = reinterpret_cast<const uint32_t*>(static_cast<const uint8_t*>(from.bmBits) +
                                                               static_cast<ptrdiff_t>(fy) * from.bmWidthBytes);
        if (identity)
            CopyPixels(out + first, in + sx + first, last - first);
        else if (doubled)
            DoublePixels(out, in + sx, first, last);
        else
            for (int32_t i = first; i < last; ++i)
                out[i] = columns[i] >= 0 ? in[columns[i]] : OpaqueBlack;
    }
}

void* ReadSurfaceBits(CDC* dc, BITMAP* bm)
{
    *bm = dc->Pixels();
    return bm->bmBits;
}

void WriteSurfaceBits(void* buffer, CDC* dc, BITMAP* bm)
{
    BITMAP surface = dc->Pixels();
    if (!buffer || !surface.bmBits || buffer == surface.bmBits)
        return;
    const size_t bytes = static_cast<size_t>(std::min(bm->bmWidthBytes, surface.bmWidthBytes)) *
                         static_cast<size_t>(std::min(bm->bmHeight, surface.bmHeight));
    if (bm->bmWidthBytes == surface.bmWidthBytes)
        std::memcpy(surface.bmBits, buffer, bytes);
}

void CDC::ScrollLeft(int32_t c)
{
    BITMAP bm = Pixels();
    ShiftColumnsLeft(&bm, 0, bm.bmWidth, c);
}

void CDC::BitBlt(int32_t x, int32_t y, int32_t w, int32_t h, CDC& source)
{
    StretchBlt(x, y, w, h, source, 0, 0, w, h);
}
