#include "display/drawing_context.h"

#include <cstddef>
#include <emmintrin.h>

#include <algorithm>
#include <cstring>
#include <vector>

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

} // namespace

void CDC::StretchBlt(int32_t x, int32_t y, int32_t w, int32_t h, CDC& source, int32_t sx, int32_t sy, int32_t sw,
                     int32_t sh)
{
    if (w <= 0 || h <= 0 || sw <= 0 || sh <= 0)
        return;
    BITMAP to = Pixels();
    BITMAP from = source.Pixels();
    if (!to.bmBits || !from.bmBits)
        return;
    // Each target column takes the source column it falls on; columns
    // outside either surface are left out or come out black.
    const int32_t first = std::max(0, -x);
    const int32_t last = std::min(w, to.bmWidth - x);
    std::vector<int32_t> columns(static_cast<size_t>(std::max(w, 0)));
    bool identity = sw == w;
    for (int32_t i = first; i < last; ++i) {
        const int32_t fx = sx + static_cast<int32_t>(static_cast<int64_t>(i) * sw / w);
        columns[i] = fx >= 0 && fx < from.bmWidth ? fx : -1;
        identity = identity && columns[i] == sx + i;
    }
    // The renderer's usual case: the right half magnified twice, all inside.
    const bool doubled = w == 2 * sw && x == 0 && w <= to.bmWidth && sx >= 0 && sx + sw <= from.bmWidth;
    int32_t previousSourceRow = -2;
    const uint32_t* previousOut = nullptr;
    for (int32_t j = 0; j < h; ++j) {
        const int32_t ty = y + j;
        if (ty < 0 || ty >= to.bmHeight)
            continue;
        uint32_t* out = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(to.bmBits) +
                                                    static_cast<ptrdiff_t>(ty) * to.bmWidthBytes) + x;
        const int32_t fy = sy + static_cast<int32_t>(static_cast<int64_t>(j) * sh / h);
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
        if (identity) {
            CopyPixels(out + first, in + sx + first, last - first);
        } else if (doubled) {
            const uint32_t* from2 = in + sx;
            for (int32_t k = 0; k < sw; ++k)
                out[2 * k] = out[2 * k + 1] = from2[k];
        } else {
            for (int32_t i = first; i < last; ++i)
                out[i] = columns[i] >= 0 ? in[columns[i]] : OpaqueBlack;
        }
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

void CDC::BitBlt(int32_t x, int32_t y, int32_t w, int32_t h, CDC& source)
{
    StretchBlt(x, y, w, h, source, 0, 0, w, h);
}
