#include "app/picture_presenter.h"

#include <QPainter>
#include <QWidget>

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
    overlaysPainted = QRegion();
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
    QRegion region = windowOverlays ? windowOverlays() : QRegion();
    const std::string label = renderer.CursorLabel();
    if (!label.empty() && window)
        region |= ToQRect(window->TextRect(0, 0, label));
    const RECT guide = renderer.GuideRect(rc);
    if (guide.bottom > guide.top)
        region |= ToQRect(guide);
    return region & QRect(0, 0, RectWidth(rc), RectHeight(rc));
}

void CPicturePresenter::Paint(QPainter& painter, const QRegion& region)
{
    const RECT rc = ClientRect();
    if (renderer.View(rc) != presented)
        mixed = true;
    overlaysPainted |= OverlayRegion();
    lastPainted = region;
    const auto* surface = dynamic_cast<const CImageDC*>(renderer.Surface());
    if (surface && renderer.ShowsSurfaceAsIs(rc)) {
        Copy(painter, region, surface->Image());
        return;
    }
    if (!window)
        return;
    for (const QRect& r : region)
        renderer.ShowSurface(window.get(), rc, ToRECT(r));
    renderer.DrawCursor(window.get(), rc);
    Copy(painter, region, window->Image());
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
