// The frequency scale's ticks against the axis the views draw, and the
// window's kept overlay against the scale drawn afresh.
#include <gtest/gtest.h>

#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>

#include "display/frequency_scale.h"
#include "framework/frequency_scale_painter.h"
#include "settings/shared_settings.h"

namespace {

TEST(FrequencyScale, LinearAxisFollowsTheDrawnBins)
{
    SharedSettings = Settings();
    SharedSettings.MaxFreq = 22050.0f;
    const int h = 400;
    // The linear view draws bin trunc(r * q) at row r.
    const double q = 22050.0 * double(0.04266666620969772f) / h;
    const std::vector<ScaleTick> ticks = FrequencyScaleTicks(ScaleView{0, h, 1.0, 0, 16});
    ASSERT_FALSE(ticks.empty());
    for (const ScaleTick& tick : ticks) {
        const int row = h - tick.y;
        EXPECT_NEAR(int(row * q) * 48000.0 / 8192, tick.frequency, 2 * 48000.0 / 8192) << tick.label;
        EXPECT_EQ(tick.label.find('A'), std::string::npos) << "no note names on the linear axis";
    }
    SharedSettings = Settings();
}

// The window's overlay paints what PaintFrequencyScale paints, pixel for
// pixel, and covers its area; it follows the view and the axis's settings.
TEST(FrequencyScale, TheKeptOverlayPaintsTheScaleAsDrawnAfresh)
{
    SharedSettings = Settings();
    SharedSettings.LogScale = 1;
    CFrequencyScaleOverlay overlay;
    QImage picture(300, 400, QImage::Format_RGB32);
    for (int y = 0; y < 400; ++y)
        for (int x = 0; x < 300; ++x)
            picture.setPixel(x, y, qRgb(x % 256, y % 256, (x * y) % 256));
    for (const auto& [zoom, maxFreq] : {std::pair{1.0, 22050.0f}, std::pair{2.0, 22050.0f}, std::pair{2.0, 8000.0f}}) {
        SharedSettings.MaxFreq = maxFreq;
        const ScaleView view{0, 400, zoom, 0, 0};
        QImage kept = picture, fresh = picture;
        {
            QPainter painter(&kept);
            overlay.Paint(painter, view);
        }
        QPainter painter(&fresh);
        ScaleView afresh = view;
        afresh.labelSpace = FrequencyScaleLabelSpace(painter);
        const std::vector<ScaleTick> ticks = FrequencyScaleTicks(afresh);
        PaintFrequencyScale(painter, ticks);
        painter.end();
        EXPECT_TRUE(kept == fresh) << zoom << " " << maxFreq;
        EXPECT_EQ(overlay.Area(view, QFont()), FrequencyScaleArea(QFontMetrics(QFont()), ticks));
        EXPECT_EQ(overlay.Ticks(view, QFont()).size(), ticks.size());
    }
    SharedSettings = Settings();
}

} // namespace
