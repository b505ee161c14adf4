#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "display/bitmap.h"

// A drawing context: a surface of pixels with text output and copies. The
// display code draws through this interface; the application provides it
// over QImage/QPainter, tests over plain memory.
class CDC {
public:
    virtual ~CDC() = default;

    virtual int32_t Width() const = 0;
    virtual int32_t Height() const = 0;
    // The surface's own pixels (32 bits per pixel, rows top-down), valid
    // until the surface is resized or released.
    virtual BITMAP Pixels() = 0;

    virtual void SetTextColor(uint32_t colour) = 0;
    virtual void SetBkColor(uint32_t colour) = 0;
    // Text with its cell's top-left corner at (x, y), on an opaque
    // background of the background colour.
    virtual void TextOut(int32_t x, int32_t y, const std::string& text) = 0;
    virtual void FillSolidRect(const RECT& rect, uint32_t colour) = 0;
    // A solid line `width` pixels wide from (x1, y1) to (x2, y2).
    virtual void DrawSolidLine(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int width, uint32_t colour) = 0;

    // Copies the band (sx, sy, sw, sh) of `source` onto (x, y, w, h) of this
    // context, magnified without smoothing; source pixels outside the source
    // surface come out black. With `clip`, only the target pixels inside it
    // are written, the same as without.
    void StretchBlt(int32_t x, int32_t y, int32_t w, int32_t h, CDC& source, int32_t sx, int32_t sy, int32_t sw,
                    int32_t sh, const RECT* clip = nullptr);
    // Copies (0, 0, w, h) of `source` to (x, y).
    void BitBlt(int32_t x, int32_t y, int32_t w, int32_t h, CDC& source);
    // In every row, column x takes what x + c showed and the last c columns
    // keep theirs. The pixels' address may change (read Pixels again).
    virtual void ScrollLeft(int32_t c);
};

// Fills `bm` from the surface of `dc` and returns its pixel buffer: the
// surface's own pixels, so that writes land in the surface directly.
void* ReadSurfaceBits(CDC* dc, BITMAP* bm);
// Puts `buffer` back into the surface of `dc`: a copy of bmWidthBytes x
// bmHeight bytes unless the buffer already is the surface's own memory.
void WriteSurfaceBits(void* buffer, CDC* dc, BITMAP* bm);

// A memory surface of a given size, compatible with the window's contexts.
class CSurfaceFactory {
public:
    virtual ~CSurfaceFactory() = default;
    // A new surface filled black.
    virtual std::unique_ptr<CDC> CreateSurface(int32_t width, int32_t height) = 0;
};
