#pragma once

#include <QImage>

#include "display/drawing_context.h"

// A drawing context over a QImage in Format_RGB32 (bytes blue, green, red,
// 0xFF). Texts use the application's default font.
class CImageDC : public CDC {
public:
    CImageDC(int32_t width, int32_t height);

    int32_t Width() const override { return image.width(); }
    int32_t Height() const override { return image.height(); }
    BITMAP Pixels() override;

    void SetTextColor(uint32_t colour) override { textColour = colour; }
    void SetBkColor(uint32_t colour) override { backgroundColour = colour; }
    void TextOut(int32_t x, int32_t y, const std::string& text) override;
    void FillSolidRect(const RECT& rect, uint32_t colour) override;
    void DrawSolidLine(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int width, uint32_t colour) override;

    const QImage& Image() const { return image; }

private:
    QImage image;
    uint32_t textColour = 0x000000;
    uint32_t backgroundColour = 0xFFFFFF;
};

class CImageSurfaceFactory : public CSurfaceFactory {
public:
    std::unique_ptr<CDC> CreateSurface(int32_t width, int32_t height) override;
};

QColor ToQColor(uint32_t colour);
