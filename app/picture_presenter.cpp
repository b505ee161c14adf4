#include "app/picture_presenter.h"

#include <QPaintEngine>
#include <QPainter>
#include <QWidget>

#include <cmath>
#include <utility>

namespace {

QRect ToQRect(const RECT& r)
{
    return QRect(r.left, r.top, RectWidth(r), RectHeight(r));
}

RECT ToRECT(const QRect& r)
{
    return RECT{r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
}

} // namespace

CPicturePresenter::CPicturePresenter(QWidget& picture, CRenderer& renderer, OverlayArea windowOverlays)
    : picture(picture), renderer(renderer), windowOverlays(std::move(windowOverlays))
{
}

RECT CPicturePresenter::ClientRect() const
{
    return RECT{0, 0, picture.width(), picture.height()};
}

void CPicturePresenter::Resize(const RECT& rc)
{
    if (!window || window->Width() != RectWidth(rc) || window->Height() != RectHeight(rc))
        window = std::make_unique<CImageDC>(RectWidth(rc), RectHeight(rc));
}

void CPicturePresenter::ShowBlock(const SurfaceChange& change)
{
    const RECT rc = ClientRect();
    const PictureUpdate update = renderer.PictureUpdateFor(change, rc);
    const bool move = CanMovePixels(update);
    const QRegion region = move ? RegionAfterMoves(update) : QRegion();
    presented = renderer.View(rc);
    mixed = !picture.isVisible();
    blockOverlays = overlaysPainted | OverlayRegion();
    overlaysPainted = QRegion();
    blockToPaint = move;
    blockFresh = QRegion();
    for (const RECT& r : update.fresh)
        blockFresh |= ToQRect(r);
    if (!move) {
        picture.repaint();
        return;
    }
    ++blocksMoved;
    for (const SurfaceChange::Move& m : update.moves)
        picture.scroll(m.dx, 0, QRect(m.band.left, 0, m.band.right - m.band.left, RectHeight(rc)));
    picture.repaint(region);
}

bool CPicturePresenter::CanMovePixels(const PictureUpdate& update) const
{
    const RECT rc = ClientRect();
    return !update.whole && !mixed && picture.isVisible() && window && window->Width() == RectWidth(rc) &&
           window->Height() == RectHeight(rc) && presented == renderer.View(rc);
}

QRegion CPicturePresenter::RegionAfterMoves(const PictureUpdate& update) const
{
    const int h = picture.height();
    // Overlays painted since the last block travel with the pixels they
    // were painted on; where they came from and where they went is painted
    // again.
    QRegion region = overlaysPainted;
    for (const SurfaceChange::Move& m : update.moves) {
        const QRect band(m.band.left, 0, m.band.right - m.band.left, h);
        region |= (region & band).translated(m.dx, 0) & band;
    }
    for (const RECT& r : update.fresh)
        region |= ToQRect(r);
    return region | OverlayRegion();
}

QRegion CPicturePresenter::OverlayRegion() const
{
    const RECT rc = ClientRect();
    const QRegion region = windowOverlays ? windowOverlays() : QRegion();
    return (region | CursorRegion()) & QRect(0, 0, RectWidth(rc), RectHeight(rc));
}

QRegion CPicturePresenter::CursorRegion() const
{
    QRegion region;
    const std::string label = renderer.CursorLabel();
    if (!label.empty() && window)
        region |= ToQRect(window->TextRect(0, 0, label));
    const RECT guide = renderer.GuideRect(ClientRect());
    if (guide.bottom > guide.top)
        region |= ToQRect(guide);
    return region;
}

std::unique_ptr<CImageDC> CPicturePresenter::PaintedPixels(QPainter& painter, const RECT& rc)
{
    QPaintEngine* engine = painter.paintEngine();
    auto* image = engine ? dynamic_cast<QImage*>(engine->paintDevice()) : nullptr;
    const QTransform toDevice = painter.deviceTransform();
    // Qt itself copies an RGB32 picture (always opaque) into a premultiplied
    // image unchanged, so both take the picture's pixels as they are.
    const bool opaqueFormat = image && (image->format() == QImage::Format_RGB32 ||
                                        image->format() == QImage::Format_ARGB32_Premultiplied);
    if (!opaqueFormat || image->devicePixelRatio() != 1.0 ||
        toDevice.type() > QTransform::TxTranslate || toDevice.dx() != std::floor(toDevice.dx()) ||
        toDevice.dy() != std::floor(toDevice.dy()))
        return nullptr;
    const QRect place =
        QRect(0, 0, RectWidth(rc), RectHeight(rc)).translated(int(toDevice.dx()), int(toDevice.dy()));
    if (place.isEmpty() || !image->rect().contains(place))
        return nullptr;
    // Written through constBits: bits() would copy an image that is shared.
    uchar* first = const_cast<uchar*>(image->constBits()) + place.top() * image->bytesPerLine() + place.left() * 4;
    return std::make_unique<CImageDC>(first, place.width(), place.height(), image->bytesPerLine());
}

void CPicturePresenter::Paint(QPainter& painter, const QRegion& region)
{
    const RECT rc = ClientRect();
    if (renderer.View(rc) != presented)
        mixed = true;
    overlaysPainted |= OverlayRegion();
    lastPainted = region;
    const bool blockPaint = std::exchange(blockToPaint, false);
    if (renderer.ShowsSurfaceAsIs(rc)) {
        PaintAsIs(painter, rc, region, blockPaint);
        return;
    }
    renderer.WindowShowsSomethingElse();
    if (!window)
        return;
    // Away from the cursor label and guide the picture is stretched straight
    // into the pixels the paint goes to; under them it is made in the
    // window's picture and copied.
    QRegion viaPicture = region;
    if (const std::unique_ptr<CImageDC> painted = PaintedPixels(painter, rc)) {
        ++paintsInPlace;
        viaPicture = region & CursorRegion();
        for (const QRect& r : region - viaPicture)
            renderer.ShowSurface(painted.get(), rc, ToRECT(r));
    }
    if (viaPicture.isEmpty())
        return;
    for (const QRect& r : viaPicture)
        renderer.ShowSurface(window.get(), rc, ToRECT(r));
    renderer.DrawCursor(window.get(), rc);
    Copy(painter, viaPicture, window->Image());
}

void CPicturePresenter::PaintAsIs(QPainter& painter, const RECT& rc, const QRegion& region, bool blockPaint)
{
    const std::unique_ptr<CImageDC> painted = PaintedPixels(painter, rc);
    QRegion rest = region;
    if (painted && blockPaint && !mixed && region.intersected(blockFresh) == blockFresh &&
        renderer.DrawBlockInPlace(painted.get(), rc)) {
        ++blocksDrawnInPlace;
        ++paintsInPlace;
        // Where overlays were, the block drew only its traces: the rest of
        // the picture there comes from the surface.
        rest = (rest - blockFresh) | (rest & blockOverlays);
    }
    auto* surface = rest.isEmpty() ? nullptr : dynamic_cast<CImageDC*>(renderer.Surface());
    if (surface)
        CopySurface(painter, painted.get(), rest, *surface);
    // The window's pixels outside what was painted show the block before,
    // unless something else was shown since.
    if (mixed)
        renderer.WindowShowsSomethingElse();
    else if (rest != region)
        return;
    else if ((blockPaint && region.intersected(blockFresh) == blockFresh) ||
             region.contains(QRect(0, 0, RectWidth(rc), RectHeight(rc))))
        renderer.WindowShowsSurface();
    else
        renderer.WindowPartlyShowsSurface();
}

void CPicturePresenter::CopySurface(QPainter& painter, CImageDC* painted, const QRegion& region, CImageDC& surface)
{
    if (!painted) {
        Copy(painter, region, surface.Image());
        return;
    }
    ++paintsInPlace;
    for (const QRect& r : region)
        painted->StretchBlt(r.x(), r.y(), r.width(), r.height(), surface, r.x(), r.y(), r.width(), r.height());
}

void CPicturePresenter::Copy(QPainter& painter, const QRegion& region, const QImage& picture)
{
    // One rectangle at a time: under a clip of a single rectangle Qt copies
    // whole rows of an opaque picture; under the paint's region it would
    // blend it span by span, spread over its thread pool.
    for (const QRect& r : region) {
        painter.setClipRect(r);
        painter.drawImage(QPoint(0, 0), picture);
    }
    painter.setClipping(false);
}
