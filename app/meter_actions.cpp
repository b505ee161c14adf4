// The meter window's wiring: which meters run, their readings to the
// window, and the calibration of the input in use.
#include <QDate>
#include <QFile>
#include <QFileInfo>

#include <memory>

#include "app/analyzer_dlg.h"
#include "display/spectrum_correction.h"
#include "store/microphone_file.h"
#include "store/profile.h"
#include "ui/calibration_dlg.h"
#include "ui/meter_dlg.h"

namespace {

const char* const ViewSection = "View";

} // namespace

void CAnalyzerDlg::SetShowMeter(bool on)
{
    showMeter = on;
    UpdateMeterWanted();
    if (meterWindow) {
        meterWindow->setVisible(on && !isMinimized());
        meterWindow->SetReadings(readings.Meter() ? &readings.Meter()->Readings() : nullptr);
        meterWindow->SetSoundLevels(readings.SoundLevels() ? &readings.SoundLevels()->Readings() : nullptr);
    }
    profile.WriteInt(ViewSection, "ShowMeter", on ? 1 : 0);
}

// The loudness meter runs while its window is shown (and, on its own
// account, while the level log is kept); the sound level meter while the
// window shows its page.
void CAnalyzerDlg::UpdateMeterWanted()
{
    readings.SetMeterWanted(showMeter);
    if (meterWindow)
        readings.SetSoundLevelWeighting(meterWindow->SoundLevelWeighting());
    readings.SetSoundLevelsWanted(showMeter && meterWindow && meterWindow->ShowsLevels());
}

void CAnalyzerDlg::ResetMeters()
{
    if (CLoudnessMeter* meter = readings.Meter())
        meter->Reset();
    if (CSoundLevelMeter* levels = readings.SoundLevels())
        levels->Reset();
    ShowMeterReadings();
}

// After each block: the meters' readings to their window, and a level log
// that could not write its row stopped.
void CAnalyzerDlg::FeedMeterAndLog()
{
    if (calibratedInput != InputInUse())
        ApplyInputCalibration();
    // The loudness shown every other block, 11.7 times a second (EBU Tech
    // 3341 asks for at least 10); the sound levels every fourth, 5.9 times
    // a second, as often as a sound level meter's display changes or more.
    if (blocksAnalysed % 2 == 0)
        ShowMeterReadings(blocksAnalysed % 4 == 0);
    if (readings.LevelLog().Failed())
        StopLevelLog();
}

void CAnalyzerDlg::ShowMeterReadings(bool soundLevelsToo)
{
    if (!showMeter || !meterWindow || !meterWindow->isVisible())
        return;
    if (const CLoudnessMeter* meter = readings.Meter())
        meterWindow->SetReadings(&meter->Readings());
    const CSoundLevelMeter* levels = readings.SoundLevels();
    if (levels && soundLevelsToo)
        meterWindow->SetSoundLevels(&levels->Readings());
}

// The input's offset and microphone file, wherever a level is shown; a
// microphone file that cannot be read is reported and left out.
void CAnalyzerDlg::ApplyInputCalibration()
{
    calibratedInput = InputInUse();
    calibration = LoadCalibration(profile, calibratedInput);
    std::function<double(double)> correction;
    QString note = QStringLiteral("Calibrated %1").arg(QString::fromStdString(calibration.date));
    if (!calibration.microphoneFile.empty()) {
        auto response = std::make_shared<MicrophoneResponse>();
        std::string error;
        const QString file = QString::fromStdString(calibration.microphoneFile);
        if (ReadMicrophoneFile(calibration.microphoneFile, *response, error)) {
            correction = [response](double f) { return response->CorrectionAt(f); };
            note += QStringLiteral(", microphone file %1").arg(QFileInfo(file).fileName());
        } else {
            ShowError(QStringLiteral("The microphone file %1 of this input cannot be used (%2): levels are shown "
                                     "without it.")
                          .arg(file, QString::fromStdString(error)));
        }
    }
    // A new correction starts the bands and the sound levels again: only
    // when the file changed.
    const std::string inEffect = correction ? calibration.microphoneFile : std::string();
    if (inEffect != microphoneApplied) {
        readings.SetMicrophoneCorrection(correction);
        SetSpectrumGains(GridGains(correction));
        microphoneApplied = inEffect;
    }
    if (meterWindow)
        meterWindow->SetCalibration(calibration.calibrated, calibration.offset, note);
}

QString CAnalyzerDlg::SetInputMicrophone(const QString& path)
{
    MicrophoneResponse response;
    std::string error;
    const std::string file = QFile::encodeName(path).toStdString();
    if (!path.isEmpty() && !ReadMicrophoneFile(file, response, error))
        return QStringLiteral("%1: %2").arg(QFileInfo(path).fileName(), QString::fromStdString(error));
    InputCalibration changed = LoadCalibration(profile, InputInUse());
    changed.microphoneFile = path.isEmpty() ? std::string() : file;
    if (!StoreCalibration(profile, InputInUse(), changed))
        return QStringLiteral("the settings file %1 cannot be written").arg(QString::fromStdString(profile.Path()));
    microphoneApplied = "\n";  // read again, also a file of the same name
    ApplyInputCalibration();
    return QString();
}

bool CAnalyzerDlg::SetInputCalibration(double offset)
{
    InputCalibration changed = LoadCalibration(profile, InputInUse());
    changed.calibrated = true;
    changed.offset = offset;
    changed.date = QDate::currentDate().toString(Qt::ISODate).toStdString();
    const bool stored = StoreCalibration(profile, InputInUse(), changed);
    if (!stored)
        ShowError(QStringLiteral("The calibration could not be kept: the settings file %1 cannot be written.")
                      .arg(QString::fromStdString(profile.Path())));
    ApplyInputCalibration();
    return stored;
}

void CAnalyzerDlg::ForgetInputCalibration()
{
    if (!ForgetCalibration(profile, InputInUse()))
        ShowError(QStringLiteral("The settings file %1 cannot be written.").arg(QString::fromStdString(profile.Path())));
    ApplyInputCalibration();
}

void CAnalyzerDlg::OpenCalibration()
{
    if (!calibrationWindow) {
        calibrationWindow = std::make_unique<CCalibrationDlg>(engine, this);
        calibrationWindow->SetHandlers([this](double offset) { return SetInputCalibration(offset); },
                                       [this] { ForgetInputCalibration(); },
                                       [this](const QString& path) { return SetInputMicrophone(path); });
    }
    const QString input = InputInUse().empty() ? QStringLiteral("the default input")
                                               : QString::fromStdString(InputInUse());
    calibrationWindow->SetInput(input, calibration.calibrated, calibration.offset,
                                QString::fromStdString(calibration.microphoneFile));
    calibrationWindow->show();
    calibrationWindow->raise();
}
