#pragma once

#include <QDialog>
#include <QTimer>

#include <functional>
#include <memory>

#include "analysis/calibration_measurement.h"

class CWaveCapture;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

// "Calibrate…": sets the input's "dB SPL at 0 dBFS" in one of three ways.
// Against a sound calibrator: the user fits it to the microphone, picks its
// level (94.0, 104.0 or 114.0 dB, or types another) and presses "Measure";
// the tone is measured over the next 3.2 s of the input
// (CCalibrationMeasurement) and taken, or refused with the reason. Typed:
// the offset itself. From the microphone's sensitivity (mV/Pa) and the
// input's full-scale level (dBu or V RMS), which fills in the offset.
// "Read dBFS" forgets the calibration. A microphone correction file can be
// chosen for the input (or none), and is refused with what is wrong in it.
class CCalibrationDlg : public QDialog {
public:
    CCalibrationDlg(CWaveCapture& engine, QWidget* owner);
    ~CCalibrationDlg() override;

    // What taking an offset and forgetting the calibration do; `use`
    // returns false when the offset could not be kept.
    // `microphone` takes a file's path (empty for none) and returns what is
    // wrong with it, or "".
    void SetHandlers(std::function<bool(double)> use, std::function<void()> forget,
                     std::function<QString(const QString&)> microphone);
    // The input it calibrates, its calibration and microphone file now.
    void SetInput(const QString& name, bool calibrated, double offset, const QString& microphoneFile);
    // Takes `path` as the microphone file (empty: none), as Choose… does.
    void UseMicrophoneFile(const QString& path);
    QLineEdit* MicrophoneFile() const { return microphoneFile; }

    // Starts measuring the calibrator's tone.
    void Measure();
    bool Measuring() const { return measurement != nullptr; }
    QString Status() const;
    QComboBox* CalibratorLevel() const { return calibratorLevel; }
    QDoubleSpinBox* OffsetBox() const { return offsetBox; }
    QDoubleSpinBox* SensitivityBox() const { return sensitivityBox; }
    QDoubleSpinBox* FullScaleBox() const { return fullScaleBox; }
    QComboBox* FullScaleUnit() const { return fullScaleUnit; }
    void UseTypedOffset();
    void WorkOutOffset();

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    void Poll();
    void StopMeasuring();

    CWaveCapture& engine;
    std::unique_ptr<CCalibrationMeasurement> measurement;
    QTimer poll;
    QLabel* inputLabel = nullptr;
    QComboBox* calibratorLevel = nullptr;
    QPushButton* measureButton = nullptr;
    QProgressBar* progress = nullptr;
    QLabel* status = nullptr;
    QDoubleSpinBox* offsetBox = nullptr;
    QDoubleSpinBox* sensitivityBox = nullptr;
    QDoubleSpinBox* fullScaleBox = nullptr;
    QComboBox* fullScaleUnit = nullptr;
    QLineEdit* microphoneFile = nullptr;
    std::function<bool(double)> useHandler;
    std::function<void()> forgetHandler;
    std::function<QString(const QString&)> microphoneHandler;
};
