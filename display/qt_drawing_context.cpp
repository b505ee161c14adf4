#include "display/qt_drawing_context.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>

QColor ToQColor(uint32_t colour)
{
    return QColor(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
}

CImageDC::CImageDC(int32_t width, int32_t height) : image(width, height, QImage::Format_RGB32)
{
    image.fill(Qt::black);
}

BITMAP CImageDC::Pixels()
{
    BITMAP bm;
    bm.bmWidth = image.width();
    bm.bmHeight = image.height();
    bm.bmWidthBytes = static_cast<int32_t>(image.bytesPerLine());
    bm.bmBitsPixel = 32;
    bm.bmBits = image.isNull() ? nullptr : image.bits();
    return bm;
}

void CImageDC::TextOut(int32_t x, int32_t y, const std::string& text)
{
    if (image.isNull())
        return;
    QPainter painter(&image);
    const QFont font = QGuiApplication::font();
    painter.setFont(font);
    painter.setPen(ToQColor(textColour));
    painter.setBackgroundMode(Qt::OpaqueMode);
    painter.setBackground(ToQColor(backgroundColour));
    painter.drawText(QPointF(x, y + QFontMetrics(font).ascent()), QString::fromUtf8(text.c_str()));
}

void CImageDC::FillSolidRect(const RECT& rect, uint32_t colour)
{
    if (image.isNull())
        return;
    QPainter painter(&image);
    painter.fillRect(QRect(rect.left, rect.top, RectWidth(rect), RectHeight(rect)), ToQColor(colour));
}

void CImageDC::DrawSolidLine(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int width, uint32_t colour)
{
    if (image.isNull())
        return;
    QPainter painter(&image);
    painter.setPen(QPen(ToQColor(colour), width, Qt::SolidLine, Qt::FlatCap));
    painter.drawLine(x1, y1, x2, y2);
}

std::unique_ptr<CDC> CImageSurfaceFactory::CreateSurface(int32_t width, int32_t height)
{
    return std::make_unique<CImageDC>(width, height);
}
