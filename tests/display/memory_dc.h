#pragma once

#include <string>
#include <vector>

#include "display/drawing_context.h"

// A drawing context in plain memory that records its texts and lines.
class MemoryDC : public CDC {
public:
    struct Text {
        int x, y;
        std::string text;
        uint32_t colour, background;
    };
    struct Line {
        int x1, y1, x2, y2, width;
        uint32_t colour;
    };

    MemoryDC(int w, int h) : w(w), h(h), pixels(size_t(w) * size_t(h), 0xFF000000u) {}

    int32_t Width() const override { return w; }
    int32_t Height() const override { return h; }
    BITMAP Pixels() override
    {
        BITMAP bm;
        bm.bmWidth = w;
        bm.bmHeight = h;
        bm.bmWidthBytes = w * 4;
        bm.bmBitsPixel = 32;
        bm.bmBits = pixels.empty() ? nullptr : pixels.data();
        return bm;
    }
    void SetTextColor(uint32_t c) override { textColour = c; }
    void SetBkColor(uint32_t c) override { background = c; }
    void TextOut(int32_t x, int32_t y, const std::string& text) override
    {
        texts.push_back({x, y, text, textColour, background});
    }
    void FillSolidRect(const RECT& r, uint32_t colour) override
    {
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x)
                if (x >= 0 && y >= 0 && x < w && y < h)
                    pixels[size_t(y) * w + x] = 0xFF000000u | (colour & 0xFF) << 16 | (colour & 0xFF00) |
                                                (colour >> 16 & 0xFF);
    }
    void DrawSolidLine(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int width, uint32_t colour) override
    {
        lines.push_back({x1, y1, x2, y2, width, colour});
    }

    // The pixel's colour in the 0x00BBGGRR layout.
    uint32_t At(int x, int y) const
    {
        const uint32_t p = pixels[size_t(y) * w + x];
        return (p >> 16 & 0xFF) | (p & 0xFF00) | (p & 0xFF) << 16;
    }

    int w, h;
    std::vector<uint32_t> pixels;
    std::vector<Text> texts;
    std::vector<Line> lines;
    uint32_t textColour = 0, background = 0xFFFFFF;
};

class MemorySurfaces : public CSurfaceFactory {
public:
    std::unique_ptr<CDC> CreateSurface(int32_t width, int32_t height) override
    {
        return std::make_unique<MemoryDC>(width, height);
    }
};
