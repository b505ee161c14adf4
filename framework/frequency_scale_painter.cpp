#include "framework/frequency_scale_painter.h"

#include <QFontMetrics>
#include <QPainter>
#include <QTextLayout>

#include "settings/shared_settings.h"

namespace {

constexpr int TickLength = 6;
const QColor TickColour(255, 255, 255);
const QColor LabelBackground(0, 0, 0, 160);

QRect LabelBox(const QFontMetrics& metrics, const QString& label, int y)
{
    return QRect(TickLength + 2, y - metrics.height() / 2, metrics.horizontalAdvance(label) + 4, metrics.height());
}

// One tick: its line, and its label on a dark box.
void PaintTick(QPainter& painter, int y, const QString& label, const QRect& box)
{
    painter.fillRect(box, LabelBackground);
    painter.drawLine(0, y, TickLength, y);
    painter.drawText(box, Qt::AlignCenter, label);
}

QRegion TickArea(int y, const QRect& box)
{
    return QRegion(QRect(0, y - 1, TickLength + 2, 3)) | box.adjusted(-1, -1, 1, 1);
}

} // namespace

int FrequencyScaleLabelSpace(const QPainter& painter)
{
    return FrequencyScaleLabelSpace(QFontMetrics(painter.font()));
}

int FrequencyScaleLabelSpace(const QFontMetrics& metrics)
{
    return metrics.height() + 2;
}

void PaintFrequencyScale(QPainter& painter, const std::vector<ScaleTick>& ticks)
{
    const QFontMetrics metrics(painter.font());
    painter.save();
    painter.setPen(TickColour);
    for (const ScaleTick& tick : ticks) {
        const QString label = QString::fromStdString(tick.label);
        PaintTick(painter, tick.y, label, LabelBox(metrics, label, tick.y));
    }
    painter.restore();
}

QRegion FrequencyScaleArea(const QFontMetrics& metrics, const std::vector<ScaleTick>& ticks)
{
    QRegion area;
    for (const ScaleTick& tick : ticks)
        area |= TickArea(tick.y, LabelBox(metrics, QString::fromStdString(tick.label), tick.y));
    return area;
}

bool CFrequencyScaleOverlay::Key::operator==(const Key& o) const
{
    return view.mode == o.view.mode && view.height == o.view.height && view.zoom == o.view.zoom &&
           view.offset == o.view.offset && font == o.font && logScale == o.logScale && maxFreq == o.maxFreq;
}

void CFrequencyScaleOverlay::Follow(ScaleView view, const QFont& font)
{
    // The label space follows from the font, which the key holds: the
    // metrics are asked for only when something changed.
    const Key now{view, font, SharedSettings.LogScale, SharedSettings.MaxFreq};
    if (valid && now == key)
        return;
    key = now;
    valid = true;
    const QFontMetrics metrics(font);
    view.labelSpace = FrequencyScaleLabelSpace(metrics);
    ticks = FrequencyScaleTicks(view);
    labels.clear();
    boxes.clear();
    area = QRegion();
    glyphs.clear();
    places.clear();
    for (const ScaleTick& tick : ticks) {
        labels.push_back(QString::fromStdString(tick.label));
        boxes.push_back(LabelBox(metrics, labels.back(), tick.y));
        area |= TickArea(tick.y, boxes.back());
        // Laid out once, as drawText lays out a line centred in a box.
        QTextLayout layout(labels.back(), font);
        QTextOption oneLine;
        oneLine.setWrapMode(QTextOption::NoWrap);
        layout.setTextOption(oneLine);
        layout.beginLayout();
        QTextLine line = layout.createLine();
        layout.endLayout();
        const QRect& box = boxes.back();
        places.push_back(QPointF(box.left() + (box.width() - line.naturalTextWidth()) / 2,
                                 box.top() + (box.height() - line.height()) / 2));
        glyphs.push_back(layout.glyphRuns());
    }
}

const std::vector<ScaleTick>& CFrequencyScaleOverlay::Ticks(ScaleView view, const QFont& font)
{
    Follow(view, font);
    return ticks;
}

const QRegion& CFrequencyScaleOverlay::Area(const ScaleView& view, const QFont& font)
{
    Follow(view, font);
    return area;
}

void CFrequencyScaleOverlay::Paint(QPainter& painter, const ScaleView& view)
{
    Follow(view, painter.font());
    painter.save();
    painter.setPen(TickColour);
    for (size_t i = 0; i < ticks.size(); ++i) {
        painter.fillRect(boxes[i], LabelBackground);
        painter.drawLine(0, ticks[i].y, TickLength, ticks[i].y);
        for (const QGlyphRun& run : glyphs[i])
            painter.drawGlyphRun(places[i], run);
    }
    painter.restore();
}
