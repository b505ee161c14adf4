#pragma once

#include <QRect>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <vector>

#include "analysis/sound_level_meter.h"

// The levels page's numbers, painted by one widget: LXF in large figures
// (with the overload sign beside it), then two columns of the other levels
// (LXS, LXeq since the reset and over the last second and minute, the
// maxima and LXFmin, LCpeak, LXE, L10/L50/L90) and the time measured, each
// level with its unit: "dB SPL" when calibrated (the offset added), else
// "dBFS".
//
// LXF follows every reading it is given; the other numbers at most every
// SmallNumbersPeriod seconds of the measurement, as a hand-held meter's
// side displays do. Only the numbers whose text changed are painted again.
class CLevelsReadout : public QWidget {
public:
    static constexpr double SmallNumbersPeriod = 0.34;

    explicit CLevelsReadout(QWidget* parent);

    // Null: nothing is measured; every level reads -inf.
    void SetReadings(const SoundLevelReadings* readings);
    void SetWeighting(Weighting weighting);
    void SetUnit(bool calibrated, double offset);
    // "LAF 84.0 dB SPL" ... one line per small number, as painted.
    QStringList Numbers() const;
    bool OverloadShown() const { return overloadShown; }
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(class QPaintEvent* e) override;
    void changeEvent(QEvent* e) override;
    bool event(QEvent* e) override;

private:
    // One text painted in its own rectangle.
    struct Item {
        QRect rect;
        QString text;
        int alignment;
    };
    void PlaceItems();
    // Sets the items' texts from the readings (the small numbers only when
    // `all`), and paints again the rectangle around those that changed.
    void ShowReadings(bool all);
    QString Level(double dbfs) const;
    QRect OverloadRect() const;

    std::vector<Item> items;  // the big line, then name and value per small number, then the time
    SoundLevelReadings readings;
    double shownSeconds = 0.0;  // the measured time of the small numbers shown
    Weighting weighting = Weighting::A;
    bool calibrated = false;
    double offset = 0.0;
    bool overloadShown = false;
};
