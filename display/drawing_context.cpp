#include "display/drawing_context.h"

#include <cstddef>
#include <cstring>
#include <vector>

namespace {

constexpr uint32_t OpaqueBlack = 0xFF000000u;

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
    // Each target column and row takes the source pixel it falls on.
    std::vector<int32_t> columns(static_cast<size_t>(w));
    for (int32_t i = 0; i < w; ++i)
        columns[i] = sx + static_cast<int32_t>(static_cast<int64_t>(i) * sw / w);
    for (int32_t j = 0; j < h; ++j) {
        const int32_t ty = y + j;
        if (ty < 0 || ty >= to.bmHeight)
            continue;
        const int32_t fy = sy + static_cast<int32_t>(static_cast<int64_t>(j) * sh / h);
        uint32_t* out = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(to.bmBits) +
                                                    static_cast<ptrdiff_t>(ty) * to.bmWidthBytes);
        const bool rowInside = fy >= 0 && fy < from.bmHeight;
        const uint32_t* in = rowInside ? reinterpret_cast<const uint32_t*>(
                                             static_cast<const uint8_t*>(from.bmBits) +
                                             static_cast<ptrdiff_t>(fy) * from.bmWidthBytes)
                                       : nullptr;
        for (int32_t i = 0; i < w; ++i) {
            const int32_t tx = x + i;
            if (tx < 0 || tx >= to.bmWidth)
                continue;
            const int32_t fx = columns[i];
            out[tx] = (in && fx >= 0 && fx < from.bmWidth) ? in[fx] : OpaqueBlack;
        }
    }
}

void CDC::BitBlt(int32_t x, int32_t y, int32_t w, int32_t h, CDC& source)
{
    StretchBlt(x, y, w, h, source, 0, 0, w, h);
}
