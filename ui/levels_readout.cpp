#include "ui/levels_readout.h"

#include <QEvent>
#include <QFontMetrics>
#include <QHelpEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QToolTip>

#include <cmath>

namespace {

const char* const LineNames[] = {"F",    "S",    "eq",   "eq,1s", "eq,1min", "Fmax", "Fmin",
                                 "Smax", "peak", "E",    "10",    "50",      "90"};
constexpr int LineCount = 13;
constexpr int RowsPerColumn = 7;
constexpr int Margin = 6, RowGap = 4, ColumnGap = 24;
constexpr int BigItem = 0, TimeItem = 1 + 2 * LineCount;
const QString Overload = QStringLiteral("OVERLOAD");
const QColor OverloadBackground(0xc0, 0, 0);

int NameItem(int line)
{
    return 1 + 2 * line;
}

QChar Letter(Weighting w)
{
    return w == Weighting::A ? QLatin1Char('A') : w == Weighting::C ? QLatin1Char('C') : QLatin1Char('Z');
}

QString Duration(double seconds)
{
    const long s = static_cast<long>(seconds);
    return QString::asprintf("%02ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
}

QFont BigFont(QFont font)
{
    font.setPointSizeF(font.pointSizeF() * 2.5);
    font.setBold(true);
    return font;
}

} // namespace

CLevelsReadout::CLevelsReadout(QWidget* parent) : QWidget(parent)
{
    setAutoFillBackground(true);
    items.resize(TimeItem + 1);
    PlaceItems();
    ShowReadings(true);
}

void CLevelsReadout::PlaceItems()
{
    const QFontMetrics metrics(font()), big(BigFont(font()));
    const int rowHeight = metrics.height() + RowGap;
    const int nameWidth = metrics.horizontalAdvance(QStringLiteral("LAeq,1min")) + 8;
    const int valueWidth = metrics.horizontalAdvance(QStringLiteral("\u2212888.8 dB SPL")) + 4;
    items[BigItem] = {QRect(Margin, Margin, big.horizontalAdvance(QStringLiteral("LAF \u2212888.8 dB SPL")) + 8,
                            big.height()),
                      QString(), Qt::AlignLeft | Qt::AlignVCenter};
    const int top = items[BigItem].rect.bottom() + 1 + 2 * RowGap;
    for (int line = 0; line < LineCount; ++line) {
        const int x = Margin + (line / RowsPerColumn) * (nameWidth + valueWidth + ColumnGap);
        const int y = top + (line % RowsPerColumn) * rowHeight;
        items[NameItem(line)] = {QRect(x, y, nameWidth, metrics.height()), QString(), Qt::AlignLeft | Qt::AlignVCenter};
        items[NameItem(line) + 1] = {QRect(x + nameWidth, y, valueWidth, metrics.height()), QString(),
                                     Qt::AlignRight | Qt::AlignVCenter};
    }
    items[TimeItem] = {QRect(Margin, top + RowsPerColumn * rowHeight + RowGap,
                             metrics.horizontalAdvance(QStringLiteral("Measured for 888:88:88 since the reset")) + 8,
                             metrics.height()),
                       QString(), Qt::AlignLeft | Qt::AlignVCenter};
    updateGeometry();
}

QSize CLevelsReadout::sizeHint() const
{
    QRect all;
    for (const Item& item : items)
        all |= item.rect;
    all |= OverloadRect();
    return QSize(all.right() + 1 + Margin, all.bottom() + 1 + Margin);
}

QRect CLevelsReadout::OverloadRect() const
{
    const QFontMetrics metrics(font());
    const QRect& big = items[BigItem].rect;
    const QSize size(metrics.horizontalAdvance(Overload) + 8, metrics.height() + 4);
    return QRect(QPoint(big.right() + 1 + Margin, big.center().y() - size.height() / 2), size);
}

void CLevelsReadout::SetReadings(const SoundLevelReadings* r)
{
    readings = r ? *r : SoundLevelReadings();
    const bool due = !r || readings.seconds < shownSeconds || readings.seconds - shownSeconds >= SmallNumbersPeriod;
    ShowReadings(due);
}

void CLevelsReadout::SetWeighting(Weighting w)
{
    weighting = w;
    ShowReadings(true);
}

void CLevelsReadout::SetUnit(bool on, double dbSplAtFullScale)
{
    calibrated = on;
    offset = dbSplAtFullScale;
    ShowReadings(true);
}

QString CLevelsReadout::Level(double dbfs) const
{
    const QString unit = calibrated ? QStringLiteral("dB SPL") : QStringLiteral("dBFS");
    return std::isfinite(dbfs) ? QStringLiteral("%1 %2").arg(dbfs + (calibrated ? offset : 0.0), 0, 'f', 1).arg(unit)
                               : QStringLiteral("\u2212\u221e %1").arg(unit);
}

void CLevelsReadout::ShowReadings(bool all)
{
    std::vector<QString> texts(items.size());
    texts[BigItem] = QStringLiteral("L%1F %2").arg(Letter(weighting)).arg(Level(readings.fast));
    if (all) {
        const SoundLevelReadings& r = readings;
        const double values[LineCount] = {r.fast,    r.slow,    r.eq,      r.eqLastSecond, r.eqLastMinute,
                                          r.fastMax, r.fastMin, r.slowMax, r.cPeak,        r.exposure,
                                          r.l10,     r.l50,     r.l90};
        for (int line = 0; line < LineCount; ++line) {
            // LCpeak is C-weighted whatever the weighting.
            texts[NameItem(line)] = QStringLiteral("L%1%2").arg(line == 8 ? QLatin1Char('C') : Letter(weighting))
                                        .arg(QLatin1String(LineNames[line]));
            texts[NameItem(line) + 1] = Level(values[line]);
        }
        texts[TimeItem] = QStringLiteral("Measured for %1 since the reset").arg(Duration(r.seconds));
        shownSeconds = r.seconds;
    }
    QRect changed;
    for (size_t i = 0; i < items.size(); ++i) {
        if ((i == BigItem || all) && items[i].text != texts[i]) {
            items[i].text = texts[i];
            changed |= items[i].rect;
        }
    }
    if (readings.overload != overloadShown) {
        overloadShown = readings.overload;
        changed |= OverloadRect();
    }
    // One rectangle: the server is sent one piece of picture, not one per number.
    if (!changed.isEmpty())
        update(changed);
}

QStringList CLevelsReadout::Numbers() const
{
    QStringList numbers;
    for (int line = 0; line < LineCount; ++line)
        numbers << items[NameItem(line)].text + QLatin1Char(' ') + items[NameItem(line) + 1].text;
    return numbers;
}

void CLevelsReadout::paintEvent(QPaintEvent* e)
{
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::WindowText));
    for (size_t i = 0; i < items.size(); ++i) {
        const Item& item = items[i];
        if (!e->region().intersects(item.rect))
            continue;
        if (i == BigItem) {
            painter.setFont(BigFont(font()));
            painter.drawText(item.rect, item.alignment, item.text);
            painter.setFont(font());
        } else {
            painter.drawText(item.rect, item.alignment, item.text);
        }
    }
    if (overloadShown && e->region().intersects(OverloadRect())) {
        painter.fillRect(OverloadRect(), OverloadBackground);
        painter.setPen(Qt::white);
        painter.drawText(OverloadRect(), Qt::AlignCenter, Overload);
    }
}

bool CLevelsReadout::event(QEvent* e)
{
    if (e->type() != QEvent::ToolTip)
        return QWidget::event(e);
    const auto* help = static_cast<QHelpEvent*>(e);
    if (overloadShown && OverloadRect().contains(help->pos()))
        QToolTip::showText(help->globalPos(), QStringLiteral("A sample reached full scale since the reset"), this);
    else
        QToolTip::hideText();
    return true;
}

void CLevelsReadout::changeEvent(QEvent* e)
{
    QWidget::changeEvent(e);
    if (e->type() == QEvent::FontChange) {
        PlaceItems();
        update();
    }
}
