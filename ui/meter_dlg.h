#pragma once

#include <QDialog>

#include <functional>

#include "analysis/loudness_meter.h"
#include "analysis/sound_level_meter.h"

class CProfile;
class QCheckBox;
class QComboBox;
class QPushButton;
class CMeterPanel;
class CLevelsPage;
class QTabWidget;

// The meter tool window (ours): per channel the sample peak, the true peak
// and the RMS with their peaks held 2 s; the loudness of EBU R 128 -
// momentary and short-term as bars on the EBU +9 scale, integrated,
// loudness range and the maxima as numbers - in LUFS or in LU relative to a
// target (-23 LUFS unless another is chosen); on a second page the sound
// level meter's readings (CLevelsPage). "Reset" (or R while the meter has
// focus) starts the integrated values of both again. It keeps its
// rectangle, options, page ("Page", 1 for the levels) and the levels'
// weighting ("Weighting": 0 Z, 1 A, 2 C) in section [Meter] and is created
// hidden; without a stored
// rectangle it goes below the main window, where there is room, when first
// shown.
class CMeterDlg : public QDialog {
public:
    static constexpr int Targets[] = {-14, -16, -23, -24};

    CMeterDlg(CProfile& profile, QWidget* owner);
    ~CMeterDlg() override;

    // Stores the rectangle and the options; once.
    void OnDestroy();
    // Shows the meter's newest readings (null: nothing measured, every
    // level -inf).
    void SetReadings(const MeterReadings* readings);
    void SetSoundLevels(const SoundLevelReadings* readings);
    // The input's calibration, for the levels page.
    void SetCalibration(bool calibrated, double offset, const QString& note);
    bool ShowsLevels() const;
    void ShowLevels(bool on);
    Weighting SoundLevelWeighting() const;
    // What turning to the other page or choosing another weighting does.
    void SetLevelsHandler(std::function<void()> handler) { levelsHandler = std::move(handler); }
    CLevelsPage* LevelsPage() const { return levelsPage; }
    // What the reset button and R do.
    void SetResetHandler(std::function<void()> handler) { resetHandler = std::move(handler); }
    // What closing it from the desktop does.
    void SetCloseHandler(std::function<void()> handler) { closeHandler = std::move(handler); }

    int Target() const { return target; }
    bool Relative() const { return relative; }
    void SetTarget(int lufs);
    void SetRelative(bool on);
    QPushButton* ResetButton() const { return resetButton; }
    // The panel's picture as the paint draws it.
    QImage Picture() const;
    // The numbers as shown: "M -23.0 LUFS" and so on, one per line.
    QString Numbers() const;

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void reject() override {}
    void accept() override {}

private:
    void Reset();
    static bool IsResetKey(QEvent* e);

    CProfile& profile;
    CMeterPanel* panel = nullptr;
    QTabWidget* pages = nullptr;
    CLevelsPage* levelsPage = nullptr;
    std::function<void()> levelsHandler;
    QPushButton* resetButton = nullptr;
    QComboBox* targetList = nullptr;
    QCheckBox* relativeBox = nullptr;
    std::function<void()> resetHandler;
    std::function<void()> closeHandler;
    int target = -23;
    bool relative = false;
    bool placed = false;
    bool destroyed = false;
};
