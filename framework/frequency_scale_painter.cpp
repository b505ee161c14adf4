#include "framework/frequency_scale_painter.h"

#include <QFontMetrics>
#include <QPainter>
#include <QRegion>

namespace {

constexpr int TickLength = 6;
const QColor TickColour(255, 255, 255);
const QColor LabelBackground(0, 0, 0, 160);

QRect LabelBox(const QFontMetrics& metrics, const QString& label, int y)
{
    return QRect(TickLength + 2, y - metrics.height() / 2, metrics.horizontalAdvance(label) + 4, metrics.height());
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
        const QRect box = LabelBox(metrics, label, tick.y);
        painter.fillRect(box, LabelBackground);
        painter.drawLine(0, tick.y, TickLength, tick.y);
        painter.drawText(box, Qt::AlignCenter, label);
    }
    painter.restore();
}

QRegion FrequencyScaleArea(const QFontMetrics& metrics, const std::vector<ScaleTick>& ticks)
{
    QRegion area;
    for (const ScaleTick& tick : ticks) {
        area |= QRect(0, tick.y - 1, TickLength + 2, 3);
        area |= LabelBox(metrics, QString::fromStdString(tick.label), tick.y).adjusted(-1, -1, 1, 1);
    }
    return area;
}
