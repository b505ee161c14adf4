#pragma once

#include <QImage>

#include "display/drawing_context.h"

// A drawing context over a QImage in Format_RGB32 (bytes blue, green, red,
// 0xFF). Texts use the application's default font. Once it scrolls, the
// picture lies in a buffer with room to its right, so that ScrollLeft moves
// where the picture starts instead of its pixels.
class CImageDC : public CDC {
public:
    CImageDC(int32_t width, int32_t height);
    // A context over RGB32 pixels owned elsewhere (rows `stride` bytes
    // apart), drawn on in place: it never copies them, and never scrolls.
    CImageDC(uchar* pixels, int32_t width, int32_t height, qsizetype stride);
    CImageDC(const CImageDC&) = delete;
    CImageDC& operator=(const CImageDC&) = delete;

    int32_t Width() const override { return width; }
    int32_t Height() const override { return height; }
    BITMAP Pixels() override;
    // Copies c columns per row; the whole picture only when the room to its
    // right has run out.
    void ScrollLeft(int32_t c) override;

    void SetTextColor(uint32_t colour) override { textColour = colour; }
    void SetBkColor(uint32_t colour) override { backgroundColour = colour; }
    void TextOut(int32_t x, int32_t y, const std::string& text) override;
    // The pixels TextOut(x, y, text) may cover, with a margin.
    RECT TextRect(int32_t x, int32_t y, const std::string& text) const;
    void FillSolidRect(const RECT& rect, uint32_t colour) override;
    void DrawSolidLine(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int width, uint32_t colour) override;

    // The picture. Once it scrolls, it is a view of the rows it lies in:
    // a copy of it shows what the picture shows later too (copy() keeps
    // what it shows now).
    const QImage& Image() const { return image; }

private:
    uchar* FirstRow();
    qsizetype Stride() const;
    // What painters paint on when the picture has scrolled (else null: the
    // picture itself).
    QImage PaintTarget();
    void MakeRoomToTheRight();
    void ShowFromOrigin();

    int32_t width;
    int32_t height;
    QImage image;
    QImage wide;         // rows with room to the right, once the picture scrolls
    int32_t origin = 0;  // the column of `wide` where the picture starts
    uint32_t textColour = 0x000000;
    uint32_t backgroundColour = 0xFFFFFF;
};

class CImageSurfaceFactory : public CSurfaceFactory {
public:
    std::unique_ptr<CDC> CreateSurface(int32_t width, int32_t height) override;
};

QColor ToQColor(uint32_t colour);
