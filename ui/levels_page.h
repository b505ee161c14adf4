#pragma once

#include <QWidget>

#include <functional>
#include <vector>

#include "analysis/sound_level_meter.h"

class QComboBox;
class QLabel;

// The meter window's sound level page: for the chosen frequency weighting
// X, LXF in large figures, then LXS, LXeq since the reset and over the last
// second and minute, the maxima and LXFmin, LCpeak, LXE, L10/L50/L90 and
// the time measured, each with its unit: "dB SPL" when the input is
// calibrated (the calibration's offset added), else "dBFS". A sample at
// full scale shows "OVERLOAD" until the reset.
class CLevelsPage : public QWidget {
public:
    explicit CLevelsPage(QWidget* parent);

    // Null: nothing is measured; every level reads -inf.
    void SetReadings(const SoundLevelReadings* readings);
    // The offset in dB SPL at 0 dBFS, or none (dBFS); `note` says which
    // calibration it is ("calibrated 2026-12-09").
    void SetCalibration(bool calibrated, double offset, const QString& note);
    void SetWeighting(Weighting weighting);
    Weighting CurrentWeighting() const { return weighting; }
    // What choosing another weighting does.
    void SetWeightingHandler(std::function<void(Weighting)> handler) { weightingHandler = std::move(handler); }
    // "LAF 84.0 dB SPL" ... one line per reading, as shown.
    QStringList Numbers() const;
    bool OverloadShown() const;

private:
    struct Line {
        QLabel* name;
        QLabel* value;
    };
    void Show();
    QString Level(double dbfs) const;

    QComboBox* weightingList = nullptr;
    QLabel* fastBig = nullptr;
    QLabel* overloadSign = nullptr;
    QLabel* calibrationNote = nullptr;
    QLabel* elapsed = nullptr;
    std::vector<Line> lines;
    SoundLevelReadings readings;
    Weighting weighting = Weighting::A;
    bool calibrated = false;
    double offset = 0.0;
    std::function<void(Weighting)> weightingHandler;
};
