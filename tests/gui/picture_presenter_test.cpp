#include <QPainter>
#include <QScreen>

#include <cmath>

#include "app/picture_presenter.h"
#include "display/pixel_ops.h"
#include "settings/measure_settings.h"
#include "tests/gui/main_window_fixture.h"

namespace {

// What the window shows: its backing store, as a screen grab reads it.
QImage Shown(CAnalyzerDlg& w)
{
    QWidget* picture = w.PictureArea();
    const QPoint at = picture->mapTo(&w, QPoint(0, 0));
    return w.screen()
        ->grabWindow(w.winId(), at.x(), at.y(), picture->width(), picture->height())
        .toImage()
        .convertToFormat(QImage::Format_RGB32);
}

// The window-sized picture scrolls by moving where its rows start: what it
// shows after each scroll, with pixels drawn between them, is what moving
// the pixels of a plain bitmap gives, through the moves back into place.
TEST(ImageSurface, ScrollsLikeMovingItsPixels)
{
    const int w = 37, h = 5;
    CImageDC surface(w, h);
    std::vector<uint32_t> plain(size_t(w) * h, 0xFF000000u);
    BITMAP reference;
    reference.bmWidth = w;
    reference.bmHeight = h;
    reference.bmWidthBytes = w * 4;
    reference.bmBits = plain.data();
    uint32_t next = 1;
    for (const int c : {3, 7, 1, 0, 37, 40, 5, 9, 2, 11, 6, 4, 8, 3}) {
        for (int y = 0; y < h; ++y) {
            BITMAP bits = surface.Pixels();
            const uint32_t colour = RGB(next & 0xFF, (next >> 8) & 0xFF, 7 * y);
            PutPixel(&bits, w - 1 - (next % 5), y, colour);
            PutPixel(&reference, w - 1 - (next % 5), y, colour);
            ++next;
        }
        surface.ScrollLeft(c);
        ShiftColumnsLeft(&reference, 0, w, c);
        const BITMAP bits = surface.Pixels();
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const uint32_t expected = plain[size_t(y) * w + x];
                ASSERT_EQ(static_cast<const uint32_t*>(bits.bmBits)[y * bits.bmWidthBytes / 4 + x], expected)
                    << "scroll by " << c << " at " << x << ", " << y;
                ASSERT_EQ(surface.Image().pixel(x, y), expected);
            }
    }
}

// The presenter stretches the picture straight into what a painter paints
// on only where that is a 32-bit RGB image drawn pixel for pixel; there the
// pixels it gets are the painter's, moved as the painter moves them.
TEST(PaintedPixels, OnlyThirtyTwoBitImagesPaintedPixelForPixel)
{
    const struct {
        QImage::Format format;
        QTransform move;
        bool direct;
    } cases[] = {{QImage::Format_RGB32, QTransform::fromTranslate(5, 3), true},
                 {QImage::Format_ARGB32_Premultiplied, QTransform(), true},
                 {QImage::Format_ARGB32, QTransform(), false},
                 {QImage::Format_RGB16, QTransform(), false},
                 {QImage::Format_RGB32, QTransform::fromScale(2, 2), false},
                 {QImage::Format_RGB32, QTransform::fromTranslate(0.5, 0), false},
                 {QImage::Format_RGB32, QTransform::fromTranslate(40, 0), false}};  // reaches past the image
    for (const auto& c : cases) {
        QImage image(50, 40, c.format);
        image.fill(Qt::white);
        {
            QPainter painter(&image);
            painter.setTransform(c.move);
            const std::unique_ptr<CImageDC> pixels = CPicturePresenter::PaintedPixels(painter, RECT{0, 0, 20, 10});
            ASSERT_EQ(pixels != nullptr, c.direct) << "format " << c.format << ", " << c.move.dx();
            if (pixels) {
                const BITMAP bits = pixels->Pixels();
                static_cast<uint32_t*>(bits.bmBits)[9 * bits.bmWidthBytes / 4 + 19] = 0xFF123456u;
            }
        }
        if (c.direct) {
            const QPoint at = c.move.map(QPoint(19, 9));
            EXPECT_EQ(image.pixel(at), 0xFF123456u) << "format " << c.format;
        }
    }
}

TEST_F(MainWindow, BlockByBlockTheWindowShowsWhatAWholePaintShows)
{
    Store({{"Check1", "1"}, {"Slider1", "40"}, {"Slider2", "70"}, {"Oversample", "8"}});
    const struct {
        int mode;
        double zoom;
        int offset;
        bool guide = true;
        int averagingAndPeaks = 0;
    } views[] = {{0, 1.0, 0}, {0, 2.25, 60}, {1, 1.0, 0}, {1, 1.5, 30}, {2, 1.0, 0}, {2, 1.0, 0, true, 2},
                 {2, 2.25, 60}, {3, 1.0, 0},
                 {3, 2.25, 60}, {4, 1.0, 0}, {5, 1.0, 0}, {5, 1.0, 0, false}, {6, 1.0, 0}, {6, 2.25, 60}};
    for (const auto& v : views) {
        CAnalyzerDlg& w = Open();
        SharedMeasureSettings.Averaging = SharedMeasureSettings.PeakHold = v.averagingAndPeaks;
        SharedSettings.CursorGuide = v.guide;
        SharedSettings.Stereo = 1;
        w.SetDisplayMode(v.mode);
        w.SetView(v.zoom, v.offset);
        w.SetCursor(440.0, 100);
        w.SetFrequencyScale(true);
        w.SetShowTempo(true);
        const int area = w.PictureArea()->width() * w.PictureArea()->height();
        fed = 0;
        for (int b = 0; b < 12; ++b) {
            if (b == 6)
                w.SetCursor(1200.0, 140);  // label and guide move between blocks
            PushSine(300 * std::pow(1.25, b));
            Settle();
        }
        long painted = 0;
        for (const QRect& r : w.PicturePresenter().LastPainted())
            painted += long(r.width()) * r.height();
        const QImage shown = Shown(w);
        const QImage whole = w.PictureArea()->grab().toImage().convertToFormat(QImage::Format_RGB32);
        EXPECT_TRUE(shown == whole) << "mode " << v.mode << ", zoom " << v.zoom << ", guide " << v.guide;
        // The window's paints copy or stretch the picture straight into its
        // backing store; the grab above went through Qt.
        EXPECT_GT(w.PicturePresenter().PaintsInPlace(), 0) << "mode " << v.mode << ", zoom " << v.zoom;
        // The 1-D spectrum draws its traces there, block after block, when
        // it is shown as drawn.
        EXPECT_EQ(w.PicturePresenter().BlocksDrawnInPlace(), v.mode == 2 && v.zoom == 1.0 ? 11 : 0)
            << "mode " << v.mode << ", zoom " << v.zoom;
        if (((v.mode == 2 || v.mode == 6) && v.zoom != 1.0) || v.mode == 3 || v.mode == 4) {
            // Drawn zoomed, or the LPC and speech views, shown whole.
            EXPECT_EQ(w.PicturePresenter().BlocksMoved(), 0);
            EXPECT_EQ(painted, area);
        } else if (v.mode == 2 || v.mode == 5) {
            // The rows (columns in view 5) of the last and the new traces,
            // and view 2's text band; view 5's waveform of a loud sine
            // sweeps most of its width.
            EXPECT_EQ(w.PicturePresenter().BlocksMoved(), 11);
            EXPECT_LT(painted, v.mode == 2 ? area / 2 : area * 3 / 4);
        } else {
            EXPECT_EQ(w.PicturePresenter().BlocksMoved(), 11) << "all but the first block, mode " << v.mode;
            EXPECT_LT(painted, area / 4) << "mode " << v.mode;
        }
        dialog.reset();
    }
    SharedMeasureSettings = MeasureSettings();
}

} // namespace
