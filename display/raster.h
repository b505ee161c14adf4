#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "display/bitmap.h"
#include "display/drawing_context.h"
#include "display/pixel_ops.h"

struct RasterText {
    char text[128];
    int32_t x;
    int32_t y;
};

// A scoped raster over a rectangle of a target context: pixels and lines go
// straight into the target's pixels inside the rectangle, texts are queued
// and drawn on the target, in order, when the raster ends.
class CRaster {
public:
    CRaster() = default;
    virtual ~CRaster();

    CRaster(const CRaster&) = delete;
    CRaster& operator=(const CRaster&) = delete;

    void Begin(CDC* target, const RECT* rect);
    void PutPixel(int32_t x, int32_t y, uint32_t colour) { ::PutPixel(&bitmap, x, y, colour); }
    // PutPixel for x0 .. x1 - 1 of row y.
    void FillRowSpan(int32_t x0, int32_t x1, int32_t y, uint32_t colour) { ::FillRowSpan(&bitmap, x0, x1, y, colour); }
    // A line that stops one column short of x2.
    void DrawLine(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t colour);
    void AddText(int32_t x, int32_t y, const char* text);

    const std::vector<RasterText>& QueuedTexts() const { return texts; }

private:
    CDC* target = nullptr;
    BITMAP bitmap;
    RECT rect;
    int32_t active = 0;
    std::vector<RasterText> texts;
};
