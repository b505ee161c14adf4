#pragma once

#include <QRegion>

#include <functional>
#include <memory>

#include "display/renderer.h"
#include "framework/qt_drawing_context.h"

class QImage;
class QPainter;
class QWidget;

// Gets the renderer's picture into the picture widget. A paint shows the
// region Qt asks for, copied or stretched from the surface straight into
// the pixels the paint goes to (a window's backing store, when it is an
// RGB32 image at one device pixel per pixel), or else through Qt (stretched
// into a picture of the window's size first); the cursor label and guide
// are always drawn on that picture and copied. The 1-D spectrum draws a
// block's traces straight into those pixels when they show the block before.
// After a block, when the window still shows the view it showed after the
// block before, the widget's pixels are moved the way the surface's columns
// were (Qt moves them in the backing store, on X11 in the server) and only
// the new columns and whatever is drawn over the picture are painted again;
// otherwise the whole picture is.
class CPicturePresenter {
public:
    // The area the window paints over the picture after Paint, in widget
    // coordinates.
    using OverlayArea = std::function<QRegion()>;

    CPicturePresenter(QWidget& picture, CRenderer& renderer, OverlayArea windowOverlays);

    // The window's picture takes the widget's size.
    void Resize(const RECT& rc);
    // Shows the block DrawBlock has just drawn, now.
    void ShowBlock(const SurfaceChange& change);
    // Paints `region` of the picture, label and guide included.
    void Paint(QPainter& painter, const QRegion& region);
    // The widget was painted with something other than the picture (the
    // icon of the minimised window).
    void PaintedSomethingElse()
    {
        mixed = true;
        renderer.WindowShowsSomethingElse();
    }
    bool HasPicture() const { return window != nullptr; }
    // The pixels of `rc` that `painter` paints into, when it paints straight
    // into a 32-bit RGB image (plain or premultiplied, as X11's backing
    // stores are), one pixel per device pixel, moved by whole pixels at most;
    // else null.
    static std::unique_ptr<CImageDC> PaintedPixels(QPainter& painter, const RECT& rc);
    // Blocks shown by moving the window's pixels, and the region the last
    // paint painted.
    long BlocksMoved() const { return blocksMoved; }
    // Paints that drew the picture straight into the painted pixels, and
    // blocks drawn there without the surface.
    long PaintsInPlace() const { return paintsInPlace; }
    long BlocksDrawnInPlace() const { return blocksDrawnInPlace; }
    const QRegion& LastPainted() const { return lastPainted; }

private:
    RECT ClientRect() const;
    // What is drawn over the picture now: label, guide and the window's own.
    QRegion OverlayRegion() const;
    // The cursor label's and guide's part of it.
    QRegion CursorRegion() const;

    bool CanMovePixels(const PictureUpdate& update) const;
    // Paints `region` of a view the window shows as the surface is: a
    // block's paint draws the block straight into the painted pixels where
    // the renderer can, the rest is copied from the surface.
    void PaintAsIs(QPainter& painter, const RECT& rc, const QRegion& region, bool blockPaint);
    // Copies `region` of the surface (the window's size) onto the widget,
    // straight into `painted`, PaintedPixels' answer, when there is one.
    void CopySurface(QPainter& painter, CImageDC* painted, const QRegion& region, CImageDC& surface);
    // Copies `region` of `picture` (the window's size) onto the widget.
    static void Copy(QPainter& painter, const QRegion& region, const QImage& picture);
    // The region to paint after `update`'s moves.
    QRegion RegionAfterMoves(const PictureUpdate& update) const;

    QWidget& picture;
    CRenderer& renderer;
    OverlayArea windowOverlays;
    std::unique_ptr<CImageDC> window;  // the picture at the window's size
    // The view shown after the last block, and whether a paint since then
    // showed anything else in part of the widget.
    ShownView presented;
    bool mixed = true;
    // Where overlays were painted since the last block.
    QRegion overlaysPainted;
    // Whether the next paint is the last block's, what the block drew, and
    // where overlays were painted or are painted over it.
    bool blockToPaint = false;
    QRegion blockFresh;
    QRegion blockOverlays;
    long blocksMoved = 0;
    long blocksDrawnInPlace = 0;
    long paintsInPlace = 0;
    QRegion lastPainted;
};
