#include "ui/levels_page.h"

#include <QComboBox>
#include <QFontMetrics>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include <cmath>

namespace {

// The list's order.
constexpr Weighting Weightings[] = {Weighting::A, Weighting::C, Weighting::Z};
const char* const LineNames[] = {"F",    "S",    "eq",   "eq,1s", "eq,1min", "Fmax", "Fmin",
                                 "Smax", "peak", "E",    "10",    "50",      "90"};
constexpr int LineCount = 13;

QChar Letter(Weighting w)
{
    return w == Weighting::A ? QLatin1Char('A') : w == Weighting::C ? QLatin1Char('C') : QLatin1Char('Z');
}

QString Duration(double seconds)
{
    const long s = static_cast<long>(seconds);
    return QString::asprintf("%02ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
}

} // namespace

CLevelsPage::CLevelsPage(QWidget* parent) : QWidget(parent)
{
    weightingList = new QComboBox(this);
    for (const Weighting w : Weightings)
        weightingList->addItem(QStringLiteral("%1 weighting").arg(Letter(w)));
    fastBig = new QLabel(this);
    QFont big = fastBig->font();
    big.setPointSizeF(big.pointSizeF() * 2.5);
    big.setBold(true);
    fastBig->setFont(big);
    overloadSign = new QLabel(QStringLiteral("OVERLOAD"), this);
    overloadSign->setStyleSheet(QStringLiteral("QLabel { color: white; background: #c00000; padding: 2px; }"));
    overloadSign->setToolTip(QStringLiteral("A sample reached full scale since the reset"));
    calibrationNote = new QLabel(this);
    elapsed = new QLabel(this);
    auto* top = new QHBoxLayout;
    top->addWidget(fastBig, 1);
    top->addWidget(overloadSign);
    top->addWidget(weightingList);
    auto* grid = new QGridLayout;
    // The numbers change up to 11.7 times a second: labels of a fixed size
    // repaint without laying the window out again.
    const auto fixWidth = [](QLabel* label, const QString& widest) {
        const QFontMetrics metrics(label->font());
        label->setFixedSize(metrics.horizontalAdvance(widest) + 8, metrics.height() + 2);
    };
    fixWidth(fastBig, QStringLiteral("LAF \u2212888.8 dB SPL"));
    fixWidth(elapsed, QStringLiteral("Measured for 888:88:88 since the reset"));
    for (int i = 0; i < LineCount; ++i) {
        Line line{new QLabel(this), new QLabel(this)};
        line.value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        fixWidth(line.value, QStringLiteral("\u2212888.8 dB SPL"));
        grid->addWidget(line.name, i % 7, 2 * (i / 7));
        grid->addWidget(line.value, i % 7, 2 * (i / 7) + 1);
        lines.push_back(line);
    }
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(grid);
    layout->addWidget(elapsed);
    layout->addWidget(calibrationNote);
    layout->addStretch(1);
    connect(weightingList, &QComboBox::currentIndexChanged, this, [this](int i) {
        if (i < 0 || Weightings[i] == weighting)
            return;
        weighting = Weightings[i];
        if (weightingHandler)
            weightingHandler(weighting);
        Show();
    });
    SetCalibration(false, 0.0, QString());
}

void CLevelsPage::SetReadings(const SoundLevelReadings* r)
{
    readings = r ? *r : SoundLevelReadings();
    Show();
}

void CLevelsPage::SetCalibration(bool on, double dbSplAtFullScale, const QString& note)
{
    calibrated = on;
    offset = dbSplAtFullScale;
    calibrationNote->setText(on ? QStringLiteral("%1: %2 dB SPL at 0 dBFS").arg(note).arg(offset, 0, 'f', 1)
                                : QStringLiteral("Not calibrated: levels in dBFS (Calibrate\u2026 in the picture's menu)"));
    Show();
}

void CLevelsPage::SetWeighting(Weighting w)
{
    weighting = w;
    for (int i = 0; i < 3; ++i)
        if (Weightings[i] == w && weightingList->currentIndex() != i)
            weightingList->setCurrentIndex(i);
    Show();
}

QString CLevelsPage::Level(double dbfs) const
{
    const QString unit = calibrated ? QStringLiteral("dB SPL") : QStringLiteral("dBFS");
    return std::isfinite(dbfs) ? QStringLiteral("%1 %2").arg(dbfs + (calibrated ? offset : 0.0), 0, 'f', 1).arg(unit)
                               : QStringLiteral("\u2212\u221e %1").arg(unit);
}

void CLevelsPage::Show()
{
    const SoundLevelReadings& r = readings;
    const double values[LineCount] = {r.fast,    r.slow,    r.eq,       r.eqLastSecond, r.eqLastMinute,
                                      r.fastMax, r.fastMin, r.slowMax,  r.cPeak,        r.exposure,
                                      r.l10,     r.l50,     r.l90};
    for (int i = 0; i < LineCount; ++i) {
        // LCpeak is C-weighted whatever the page's weighting.
        const QString name = QStringLiteral("L%1%2").arg(i == 8 ? QLatin1Char('C') : Letter(weighting)).arg(LineNames[i]);
        const QString value = Level(values[i]);
        if (lines[i].name->text() != name)
            lines[i].name->setText(name);
        if (lines[i].value->text() != value)
            lines[i].value->setText(value);
    }
    const QString big = QStringLiteral("L%1F %2").arg(Letter(weighting)).arg(Level(r.fast));
    if (fastBig->text() != big)
        fastBig->setText(big);
    overloadSign->setVisible(r.overload);
    const QString time = QStringLiteral("Measured for %1 since the reset").arg(Duration(r.seconds));
    if (elapsed->text() != time)
        elapsed->setText(time);
}

QStringList CLevelsPage::Numbers() const
{
    QStringList numbers;
    for (const Line& line : lines)
        numbers << line.name->text() + QLatin1Char(' ') + line.value->text();
    return numbers;
}

bool CLevelsPage::OverloadShown() const
{
    return !overloadSign->isHidden();
}
