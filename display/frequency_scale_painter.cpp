#include "display/frequency_scale_painter.h"

#include <QFontMetrics>
#include <QPainter>

namespace {

constexpr int TickLength = 6;
const QColor TickColour(255, 255, 255);
const QColor LabelBox(0, 0, 0, 160);

} // namespace

int FrequencyScaleLabelSpace(const QPainter& painter)
{
    return QFontMetrics(painter.font()).height() + 2;
}

void PaintFrequencyScale(QPainter& painter, const std::vector<ScaleTick>& ticks)
{
    const QFontMetrics metrics(painter.font());
    painter.save();
    painter.setPen(TickColour);
    for (const ScaleTick& tick : ticks) {
        const QString label = QString::fromStdString(tick.label);
        const QRect box(TickLength + 2, tick.y - metrics.height() / 2, metrics.horizontalAdvance(label) + 4,
                        metrics.height());
        painter.fillRect(box, LabelBox);
        painter.drawLine(0, tick.y, TickLength, tick.y);
        painter.drawText(box, Qt::AlignCenter, label);
    }
    painter.restore();
}
