#include "framework/qt_drawing_context.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>

#include <algorithm>
#include <cstring>

QColor ToQColor(uint32_t colour)
{
    return QColor(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
}

CImageDC::CImageDC(int32_t width, int32_t height) : width(std::max(width, 0)), height(std::max(height, 0))
{
    if (this->width > 0 && this->height > 0) {
        image = QImage(this->width, this->height, QImage::Format_RGB32);
        image.fill(Qt::black);
    }
}

CImageDC::CImageDC(uchar* pixels, int32_t width, int32_t height, qsizetype stride)
    : width(std::max(width, 0)), height(std::max(height, 0))
{
    if (pixels && this->width > 0 && this->height > 0)
        image = QImage(pixels, this->width, this->height, stride, QImage::Format_RGB32);
}

uchar* CImageDC::FirstRow()
{
    if (wide.isNull())
        return image.isNull() ? nullptr : image.bits();
    // `wide` is shared with the views of it: written through, never copied.
    return const_cast<uchar*>(wide.constBits()) + static_cast<qsizetype>(origin) * 4;
}

qsizetype CImageDC::Stride() const
{
    return wide.isNull() ? image.bytesPerLine() : wide.bytesPerLine();
}

QImage CImageDC::PaintTarget()
{
    if (wide.isNull())
        return QImage();
    return QImage(FirstRow(), width, height, Stride(), QImage::Format_RGB32);
}

void CImageDC::MakeRoomToTheRight()
{
    // Half a picture more: the rows move back once every width / 2 columns
    // scrolled. Only a picture that scrolls gets it; rows packed tight copy
    // faster.
    QImage wider(width + std::max(width / 2, 16), height, QImage::Format_RGB32);
    wider.fill(Qt::black);
    for (int32_t y = 0; y < height; ++y)
        std::memcpy(wider.scanLine(y), image.constScanLine(y), static_cast<size_t>(width) * 4);
    wide = wider;
    origin = 0;
}

void CImageDC::ShowFromOrigin()
{
    // A view of `wide` that keeps it alive while any copy of it lives.
    auto* keep = new QImage(wide);
    image = QImage(FirstRow(), width, height, Stride(), QImage::Format_RGB32,
                   [](void* kept) { delete static_cast<QImage*>(kept); }, keep);
}

BITMAP CImageDC::Pixels()
{
    BITMAP bm;
    bm.bmWidth = width;
    bm.bmHeight = height;
    bm.bmBitsPixel = 32;
    bm.bmBits = FirstRow();
    bm.bmWidthBytes = static_cast<int32_t>(Stride());
    return bm;
}

void CImageDC::ScrollLeft(int32_t c)
{
    if (image.isNull() || c <= 0 || c >= width) {
        CDC::ScrollLeft(c);
        return;
    }
    if (wide.isNull())
        MakeRoomToTheRight();
    const qsizetype stride = wide.bytesPerLine();
    uchar* rows = const_cast<uchar*>(wide.constBits());
    if (origin + width + c > wide.width()) {
        for (int32_t y = 0; y < height; ++y)
            std::memmove(rows + y * stride, rows + y * stride + origin * 4, static_cast<size_t>(width) * 4);
        origin = 0;
    }
    // The last c columns keep what they show: copied to where they show
    // from the new origin on.
    for (int32_t y = 0; y < height; ++y) {
        uchar* row = rows + y * stride + origin * 4;
        std::memcpy(row + width * 4, row + (width - c) * 4, static_cast<size_t>(c) * 4);
    }
    origin += c;
    ShowFromOrigin();
}

void CImageDC::TextOut(int32_t x, int32_t y, const std::string& text)
{
    if (image.isNull())
        return;
    QImage view = PaintTarget();
    QPainter painter(view.isNull() ? &image : &view);
    const QFont font = QGuiApplication::font();
    painter.setFont(font);
    painter.setPen(ToQColor(textColour));
    painter.setBackgroundMode(Qt::OpaqueMode);
    painter.setBackground(ToQColor(backgroundColour));
    painter.drawText(QPointF(x, y + QFontMetrics(font).ascent()), QString::fromUtf8(text.c_str()));
}

RECT CImageDC::TextRect(int32_t x, int32_t y, const std::string& text) const
{
    const QFontMetrics metrics(QGuiApplication::font());
    const QString s = QString::fromUtf8(text.c_str());
    const QRect box = metrics.boundingRect(s).translated(x, y + metrics.ascent()) |
                      QRect(x, y, metrics.horizontalAdvance(s), metrics.height());
    constexpr int Margin = 2;
    return RECT{box.left() - Margin, box.top() - Margin, box.left() + box.width() + Margin,
                box.top() + box.height() + Margin};
}

void CImageDC::FillSolidRect(const RECT& rect, uint32_t colour)
{
    if (image.isNull())
        return;
    QImage view = PaintTarget();
    QPainter painter(view.isNull() ? &image : &view);
    painter.fillRect(QRect(rect.left, rect.top, RectWidth(rect), RectHeight(rect)), ToQColor(colour));
}

void CImageDC::DrawSolidLine(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int width, uint32_t colour)
{
    if (image.isNull())
        return;
    QImage view = PaintTarget();
    QPainter painter(view.isNull() ? &image : &view);
    painter.setPen(QPen(ToQColor(colour), width, Qt::SolidLine, Qt::FlatCap));
    painter.drawLine(x1, y1, x2, y2);
}

std::unique_ptr<CDC> CImageSurfaceFactory::CreateSurface(int32_t width, int32_t height)
{
    return std::make_unique<CImageDC>(width, height);
}
