#pragma once

#include <QWidget>

#include <functional>

#include "analysis/sound_level_meter.h"

class CLevelsReadout;
class QComboBox;
class QLabel;

// The meter window's sound level page: the weighting chosen, the readout of
// the sound level meter's numbers (CLevelsReadout) and the calibration in
// effect.
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
    QComboBox* weightingList = nullptr;
    CLevelsReadout* readout = nullptr;
    QLabel* calibrationNote = nullptr;
    Weighting weighting = Weighting::A;
    std::function<void(Weighting)> weightingHandler;
};
