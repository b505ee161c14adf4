#include "ui/meter_panel.h"

#include <QPaintEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

constexpr double LevelTop = 0.0, LevelBottom = -60.0;         // dBFS
constexpr double LoudnessAbove = 9.0, LoudnessBelow = -18.0;  // LU, the EBU +9 scale
const QColor Background(24, 24, 24), Scale(120, 120, 120), Text(230, 230, 230);
const QColor RmsColour(60, 180, 75), PeakColour(240, 190, 40), HeldColour(255, 255, 255), LoudColour(70, 140, 230);

// The row of `value` on a scale from `top` (row area.top) to `bottom`.
int Row(const QRect& area, double value, double top, double bottom)
{
    const double t = std::isfinite(value) ? std::clamp((top - value) / (top - bottom), 0.0, 1.0) : 1.0;
    return area.top() + static_cast<int>(std::lround(t * area.height()));
}

// A bar from `row` down to the bottom of `area`.
QRect BarRect(const QRect& area, int x, int width, int row)
{
    return QRect(x, row, width, area.bottom() - row + 1);
}

QString Number(double value, const char* unit)
{
    return std::isfinite(value) ? QString::asprintf("%.1f %s", value, unit) : QStringLiteral("\u2212\u221e %1").arg(unit);
}

} // namespace

CMeterPanel::CMeterPanel(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(360, 220);
}

// Only what moved is painted again: where a bar or mark was or is now and
// it changed, and the numbers whose text changed.
void CMeterPanel::SetReadings(const MeterReadings* r)
{
    const MeterReadings next = r ? *r : MeterReadings();
    const Layout layout = Areas();
    const std::vector<Shape> before = Shapes(readings, layout), after = Shapes(next, layout);
    const QStringList numbersBefore = Numbers();
    readings = next;
    const QStringList numbersAfter = Numbers();
    QRegion moved;
    for (size_t i = 0; i < before.size(); ++i)
        if (before[i].rect != after[i].rect)
            moved |= QRegion(before[i].rect) ^ QRegion(after[i].rect);
    for (int i = 0; i < numbersAfter.size(); ++i)
        if (numbersAfter[i] != numbersBefore[i])
            moved |= NumberLine(layout.numbers, i);
    if (!moved.isEmpty())
        update(moved);
}

void CMeterPanel::SetScale(int newTarget, bool newRelative)
{
    target = newTarget;
    relative = newRelative;
    background = QPixmap();
    update();
}

QString CMeterPanel::Loudness(double lufs) const
{
    if (!relative)
        return Number(lufs, "LUFS");
    return std::isfinite(lufs) ? QString::asprintf("%+.1f LU", lufs - target) : QStringLiteral("\u2212\u221e LU");
}

QStringList CMeterPanel::Numbers() const
{
    const MeterReadings& r = readings;
    return {QStringLiteral("M  %1").arg(Loudness(r.momentary)),
            QStringLiteral("S  %1").arg(Loudness(r.shortTerm)),
            QStringLiteral("I  %1").arg(Loudness(r.integrated)),
            QStringLiteral("LRA  %1").arg(QString::asprintf("%.1f LU", r.range)),
            QStringLiteral("Max M  %1").arg(Loudness(r.maxMomentary)),
            QStringLiteral("Max S  %1").arg(Loudness(r.maxShortTerm)),
            QStringLiteral("Max TP  %1").arg(Number(r.maxTruePeak, "dBTP"))};
}

// The level bars' area (scale at its left), the loudness bars' and the
// numbers'.
CMeterPanel::Layout CMeterPanel::Areas() const
{
    const QFontMetrics metrics(font());
    const QRect inner = rect().adjusted(8, metrics.height() + 8, -8, -metrics.height() - 6);
    const int w = inner.width();
    const int scaleWidth = metrics.horizontalAdvance(QStringLiteral("-60")) + 4;
    Layout layout;
    layout.levels = QRect(inner.left() + scaleWidth, inner.top(), w * 2 / 5 - scaleWidth, inner.height());
    layout.loudness = QRect(inner.left() + w * 2 / 5, inner.top(), w / 5, inner.height());
    layout.numbers = QRect(inner.left() + w * 3 / 5 + 8, inner.top(), w * 2 / 5 - 8, inner.height());
    return layout;
}

void CMeterPanel::paintEvent(QPaintEvent* e)
{
    if (background.size() != size())
        background = StaticPicture();
    QPainter painter(this);
    painter.drawPixmap(0, 0, background);
    const Layout layout = Areas();
    for (const Shape& shape : Shapes(readings, layout))
        painter.fillRect(shape.rect, shape.colour);
    const QRect& loud = layout.loudness;
    painter.setPen(Text);
    const int y = Row(loud, target, target + LoudnessAbove, target + LoudnessBelow);
    painter.drawLine(loud.left(), y, loud.right(), y);
    PaintNumbers(painter, layout.numbers, e->region());
}

// The readings' moving parts in the order they are painted: per channel
// the RMS and true-peak bars and the held sample and true peaks as white
// marks over them; then momentary and short-term on the EBU +9 scale, 18 LU
// below the target to 9 LU above it.
std::vector<CMeterPanel::Shape> CMeterPanel::Shapes(const MeterReadings& r, const Layout& layout) const
{
    std::vector<Shape> shapes;
    const QRect& bars = layout.levels;
    const int slot = bars.width() / 2;
    auto level = [&](double db) { return Row(bars, db, LevelTop, LevelBottom); };
    for (int ch = 0; ch < 2; ++ch) {
        const int x = bars.left() + ch * slot + slot / 8;
        const int width = slot * 3 / 8;
        shapes.push_back({BarRect(bars, x, width, level(r.rms[ch])), RmsColour});
        shapes.push_back({BarRect(bars, x + width + 2, width, level(r.truePeak[ch])), PeakColour});
        shapes.push_back({QRect(x, level(r.samplePeakHeld[ch]), width, 2), HeldColour});
        shapes.push_back({QRect(x + width + 2, level(r.truePeakHeld[ch]), width, 2), HeldColour});
    }
    const QRect& loud = layout.loudness;
    const double top = target + LoudnessAbove, bottom = target + LoudnessBelow;
    const int half = loud.width() / 2;
    shapes.push_back({BarRect(loud, loud.left() + 4, half - 8, Row(loud, r.momentary, top, bottom)), LoudColour});
    shapes.push_back(
        {BarRect(loud, loud.left() + half + 4, half - 8, Row(loud, r.shortTerm, top, bottom)), LoudColour});
    return shapes;
}

QRect CMeterPanel::NumberLine(const QRect& area, int line) const
{
    const QFontMetrics metrics(font());
    return QRect(area.left(), area.top() + line * (metrics.height() + 6), area.width(), metrics.height());
}

// What does not change from one reading to the next: scales and captions.
QPixmap CMeterPanel::StaticPicture() const
{
    QPixmap pixmap(size());
    pixmap.fill(Background);
    QPainter painter(&pixmap);
    painter.setFont(font());
    const QFontMetrics metrics(font());
    const Layout layout = Areas();
    const QRect& bars = layout.levels;
    painter.setPen(Scale);
    for (int db = 0; db >= -60; db -= 6) {
        const int y = Row(bars, db, LevelTop, LevelBottom);
        painter.drawLine(bars.left(), y, bars.right(), y);
        painter.drawText(QRect(0, y - metrics.height() / 2, bars.left() - 4, metrics.height()),
                         Qt::AlignRight | Qt::AlignVCenter, QString::number(db));
    }
    const QRect& loud = layout.loudness;
    const double top = target + LoudnessAbove, bottom = target + LoudnessBelow;
    for (int lu = 9; lu >= -18; lu -= 3) {
        const int y = Row(loud, target + lu, top, bottom);
        painter.drawLine(loud.left(), y, loud.left() + 3, y);
        painter.drawLine(loud.right() - 3, y, loud.right(), y);
    }
    painter.setPen(Text);
    const int slot = bars.width() / 2;
    for (int ch = 0; ch < 2; ++ch)
        painter.drawText(QRect(bars.left() + ch * slot, bars.top() - metrics.height() - 4, slot, metrics.height()),
                         Qt::AlignCenter, ch == 0 ? QStringLiteral("L") : QStringLiteral("R"));
    painter.drawText(QRect(bars.left() - 20, bars.bottom() + 4, bars.width() + 40, metrics.height()),
                     Qt::AlignCenter, QStringLiteral("RMS | true peak"));
    painter.drawText(QRect(loud.left(), loud.top() - metrics.height() - 4, loud.width(), metrics.height()),
                     Qt::AlignCenter, QStringLiteral("M    S"));
    painter.drawText(QRect(loud.left() - 20, loud.bottom() + 4, loud.width() + 40, metrics.height()),
                     Qt::AlignCenter, QStringLiteral("EBU +9"));
    return pixmap;
}

// The lines `region` reaches: the others are not shaped for nothing.
void CMeterPanel::PaintNumbers(QPainter& painter, const QRect& area, const QRegion& region) const
{
    painter.setPen(Text);
    const QStringList numbers = Numbers();
    for (int i = 0; i < numbers.size(); ++i) {
        const QRect line = NumberLine(area, i);
        if (region.intersects(line))
            painter.drawText(line, Qt::AlignLeft | Qt::AlignVCenter, numbers[i]);
    }
}
