#pragma once

#include <QFont>
#include <QRect>
#include <QPointF>
#include <QRegion>
#include <QGlyphRun>
#include <QList>
#include <QString>

#include <vector>

#include "display/frequency_scale.h"

class QFontMetrics;
class QPainter;

// Draws the ticks along the left edge of what `painter` paints on: a short
// line and the label beside it on a dark box, over the picture.
void PaintFrequencyScale(QPainter& painter, const std::vector<ScaleTick>& ticks);

// Where PaintFrequencyScale paints, for labels in the font of `metrics`.
QRegion FrequencyScaleArea(const QFontMetrics& metrics, const std::vector<ScaleTick>& ticks);

// Rows a label of the painter's font needs.
int FrequencyScaleLabelSpace(const QPainter& painter);
int FrequencyScaleLabelSpace(const QFontMetrics& metrics);

// The frequency scale a window paints over its picture after every block,
// with what painting it takes worked out once for as long as nothing it
// depends on changes (the view, the font, the axis's settings): the ticks,
// their labels' boxes and glyphs, laid out as drawText lays out a line
// centred in a box, and the area they cover. It paints what
// PaintFrequencyScale paints, pixel for pixel, without shaping the labels
// again at every paint.
class CFrequencyScaleOverlay {
public:
    // The ticks, and where Paint paints, for `view` (its labelSpace is
    // taken from `font`) in `font`.
    const std::vector<ScaleTick>& Ticks(ScaleView view, const QFont& font);
    const QRegion& Area(const ScaleView& view, const QFont& font);
    void Paint(QPainter& painter, const ScaleView& view);

private:
    struct Key {
        ScaleView view{};
        QFont font;
        int32_t logScale = -1;
        float maxFreq = 0.0f;
        bool operator==(const Key& o) const;
    };
    void Follow(ScaleView view, const QFont& font);

    Key key;
    bool valid = false;
    std::vector<ScaleTick> ticks;
    std::vector<QString> labels;
    std::vector<QRect> boxes;
    std::vector<QList<QGlyphRun>> glyphs;  // each label's, laid out once
    std::vector<QPointF> places;
    QRegion area;
};
