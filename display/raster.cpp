#include "display/raster.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "display/pixel_ops.h"

CRaster::~CRaster()
{
    if (active) {
        for (const RasterText& t : texts)
            target->TextOut(t.x, t.y, t.text);
    }
}

void CRaster::Begin(CDC* dc, const RECT* rc)
{
    target = dc;
    rect = *rc;
    // The view of the target's pixels inside the rectangle: the raster's
    // pixels are written where its copy would have been copied back to.
    BITMAP whole = dc->Pixels();
    const int32_t left = std::clamp(rect.left, 0, whole.bmWidth);
    const int32_t top = std::clamp(rect.top, 0, whole.bmHeight);
    bitmap = whole;
    bitmap.bmWidth = std::clamp(rect.right, left, whole.bmWidth) - left;
    bitmap.bmHeight = std::clamp(rect.bottom, top, whole.bmHeight) - top;
    if (whole.bmBits)
        bitmap.bmBits = static_cast<uint8_t*>(whole.bmBits) + static_cast<ptrdiff_t>(top) * whole.bmWidthBytes +
                        static_cast<ptrdiff_t>(left) * (whole.bmBitsPixel / 8);
    active = 1;
}

void CRaster::DrawLine(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t colour)
{
    DrawLineSweep(&bitmap, x1, y1, x2, y2, colour, false);
}

void CRaster::AddText(int32_t x, int32_t y, const char* text)
{
    RasterText entry;
    std::strncpy(entry.text, text, sizeof entry.text - 1);
    entry.text[sizeof entry.text - 1] = '\0';
    entry.x = x;
    entry.y = y;
    texts.push_back(entry);
}
