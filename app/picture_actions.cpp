#include "app/analyzer_dlg.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QImageWriter>

#include <algorithm>
#include <ctime>

#include "app/input_listing.h"
#include "display/pitch_classes.h"
#include "display/bands_export.h"
#include "display/spectrum_correction.h"
#include "display/spectrum_export.h"
#include "dsp/frequency_axis.h"
#include "settings/measure_settings.h"
#include "settings/shared_settings.h"
#include "store/profile.h"
#include "store/replacement_file.h"
#include "ui/keyboard_dlg.h"
#include "ui/meter_dlg.h"
#include "ui/setting_dlg.h"

// What the picture's context menu does: pause, save the picture, export the
// spectrum, switch the input, and the overlays and tool windows it shows.

namespace {

// The export's first line when it is not the newest spectrum alone.
std::string ExportDescription(bool averaged, bool peaks)
{
    static const char* const Averages[] = {"", "exponential average, 0.125 s", "exponential average, 1 s",
                                           "exponential average, 4 s", "linear average since the reset"};
    std::string text = averaged ? std::string("levels: ") + Averages[std::clamp(SharedMeasureSettings.Averaging, 0, 4)]
                                : std::string("levels: the newest spectrum");
    if (peaks)
        text += SharedMeasureSettings.PeakHold == 2 ? "; peaks: falling 10 dB/s" : "; peaks: held since the reset";
    return text;
}

// Our own keys beside the design's.
const char* const ExportSection = "Export";
const char* const ViewSection = "View";
const char* const InputSection = "Input";

CAnalyzerDlg::FileChooser& Chooser()
{
    static CAnalyzerDlg::FileChooser chooser = [](QWidget* parent, const QString& caption, const QString& proposal,
                                                  const QString& filter) {
        return QFileDialog::getSaveFileName(parent, caption, proposal, filter);
    };
    return chooser;
}

} // namespace

void CAnalyzerDlg::SetFileChooser(FileChooser chooser)
{
    Chooser() = std::move(chooser);
}

void CAnalyzerDlg::SetPause(bool on)
{
    SharedSettings.Pause = on;
    if (settingsPanel)
        settingsPanel->ShowPause(on);
    RepaintPicture();
}

QString CAnalyzerDlg::ChooseFile(const QString& caption, const QString& name, const QString& filter)
{
    // A folder longer than the store reads back whole is not offered.
    char folder[128] = {};
    const int length = profile.ReadString(ExportSection, "Folder", folder, sizeof folder);
    const QString start = length > 0 && length < 127 ? QString::fromUtf8(folder) : QDir::homePath();
    const QString path = Chooser()(this, caption, start + QLatin1Char('/') + name, filter);
    if (!path.isEmpty())
        profile.WriteString(ExportSection, "Folder", QFileInfo(path).absolutePath().toUtf8().constData());
    return path;
}

void CAnalyzerDlg::ChooseAndSavePicture()
{
    const QString path = ChooseFile(QStringLiteral("Save picture"), QStringLiteral("tavimeter.png"),
                                    QStringLiteral("PNG images (*.png)"));
    if (!path.isEmpty())
        SavePicture(path);
}

void CAnalyzerDlg::ChooseAndExportSpectrum()
{
    const QString path = ChooseFile(QStringLiteral("Export spectrum"), QStringLiteral("spectrum.csv"),
                                    QStringLiteral("CSV files (*.csv)"));
    if (!path.isEmpty())
        ExportSpectrum(path);
}

bool CAnalyzerDlg::SavePicture(const QString& path)
{
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    if (!writer.write(PictureArea()->grab().toImage())) {
        ShowError(QStringLiteral("The picture could not be saved to %1:\n%2").arg(path, writer.errorString()));
        return false;
    }
    return WriteWholeFile(path, png.constData(), static_cast<size_t>(png.size()),
                          QStringLiteral("The picture could not be saved to %1:\n%2"));
}

// The trace the 1-D view shows: the average when averaging is on, with the
// held peaks when peak hold is on; otherwise the newest spectrum.
bool CAnalyzerDlg::ExportSpectrum(const QString& path)
{
    if (calibratedInput != InputInUse())
        ApplyInputCalibration();
    if (GetDisplayMode() == OctaveBands)
        return ExportBands(path);
    if (GetDisplayMode() == TransferFunction)
        return ExportTransfer(path);
    engine.UpdateLinearSpectrum();
    const bool stereo = SharedSettings.Stereo != 0;
    const CMeasurement& m = readings.Measurement();
    SpectrumTraces traces;
    // A microphone's correction applies to the left input, which it is on.
    const std::vector<float>& gains = SpectrumGains();
    std::vector<float> left, leftPeaks;
    traces.left = Corrected(
        m.AveragedSpectrum(0) ? m.AveragedSpectrum(0) : engine.GetSpectrum(0) + CWaveCapture::SecondSpectrum, gains, left);
    if (stereo)
        traces.right =
            m.AveragedSpectrum(1) ? m.AveragedSpectrum(1) : engine.GetSpectrum(1) + CWaveCapture::SecondSpectrum;
    traces.windowSize = CWaveCapture::SettleWindowSize();
    traces.windowType = static_cast<unsigned>(SharedSettings.WindowType);
    traces.leftPeaks = Corrected(m.PeakSpectrum(0), gains, leftPeaks);
    traces.rightPeaks = stereo ? m.PeakSpectrum(1) : nullptr;
    if (m.AveragedSpectrum(0) || traces.leftPeaks)
        traces.description = ExportDescription(m.AveragedSpectrum(0) != nullptr, traces.leftPeaks != nullptr);
    traces.calibrated = calibration.calibrated;
    traces.offset = calibration.offset;
    const std::string csv = SpectrumCsv(traces);
    return WriteWholeFile(path, csv.data(), csv.size(), QStringLiteral("The spectrum could not be written to %1:\n%2"));
}

// The bands view's levels and held peaks, as shown.
bool CAnalyzerDlg::ExportBands(const QString& path)
{
    const CMeasurement& m = readings.Measurement();
    static const char* const Weightings[] = {"Z", "A", "C"};
    static const char* const Averages[] = {"the time-weighted level", "exponential average, 0.125 s",
                                           "exponential average, 1 s", "exponential average, 4 s",
                                           "linear average since the reset"};
    const MeasureSettings& s = SharedMeasureSettings;
    BandsTable table;
    table.bands = &m.Bands();
    table.levels = &m.BandLevels();
    table.peaks = &m.BandPeaks();
    table.calibrated = calibration.calibrated;
    table.offset = calibration.offset;
    table.description = "1/" + std::to_string(s.BandsPerOctave) + " octave bands (IEC 61260-1), " +
                        Weightings[std::clamp(s.Weighting, 0, 2)] + "-weighted, time weighting " +
                        (s.TimeWeighting == 1 ? "Slow" : "Fast") + "; levels: " +
                        Averages[std::clamp(s.Averaging, 0, 4)] +
                        (m.BandPeaks().empty() ? ""
                                               : s.PeakHold == 2 ? "; peaks: falling 10 dB/s" : "; peaks: held since the reset");
    const std::string csv = BandsCsv(table);
    return WriteWholeFile(path, csv.data(), csv.size(), QStringLiteral("The bands could not be written to %1:\n%2"));
}

// The file is replaced only once its new contents are on the disk whole;
// otherwise the message (with %1 the file and %2 the reason) is shown and
// the file is as it was.
bool CAnalyzerDlg::WriteWholeFile(const QString& path, const void* data, size_t size, const QString& failure)
{
    std::string reason;
    if (ReplaceFileContents(QFile::encodeName(path).toStdString(), data, size, reason))
        return true;
    ShowError(failure.arg(path, QString::fromLocal8Bit(reason.c_str())));
    return false;
}

void CAnalyzerDlg::SetFrequencyScale(bool on)
{
    frequencyScale = on;
    profile.WriteInt(ViewSection, "FrequencyScale", on ? 1 : 0);
    RepaintPicture();
}

void CAnalyzerDlg::SetInputChoice(InputChoice choice)
{
    inputChoice = std::move(choice);
    inputListing = inputChoice.list ? std::make_unique<CInputListing>(inputChoice.list) : nullptr;
    if (inputListing)
        inputListing->AddListedHandler([this] { TakeBackTheChosenInput(); });
}

bool CAnalyzerDlg::SwitchInput(const std::string& name)
{
    QString problem;
    if (!OpenInput(name, problem)) {
        ShowError(QStringLiteral("The input %1 could not be opened:\n%2\n\nThe input in use stays.")
                      .arg(QString::fromStdString(name), problem));
        return false;
    }
    inputChoice.current = name;
    defaultStandsIn = false;
    chosenInputWatch.stop();
    profile.WriteString(InputSection, "Device", name.c_str());
    ArmFallback();
    return true;
}

// Capture from `name` (empty: the default input) at once; when it cannot be
// opened, the device in use goes on.
bool CAnalyzerDlg::OpenInput(const std::string& name, QString& problem)
{
    if (!inputChoice.open) {
        problem = QStringLiteral("No other input can be chosen.");
        return false;
    }
    std::unique_ptr<WaveInputDriver> next = inputChoice.open(name);
    engine.Close();
    engine.SetDriver(next.get());
    if (keeper.Start(problem)) {
        keeper.Resume();
        chosenDriver = std::move(next);
        inputDriver = chosenDriver.get();
        return true;
    }
    engine.SetDriver(inputDriver);
    QString again;
    keeper.Start(again);
    return false;
}

// A device chosen by name that is gone for a while gives way to the default
// input until it is back.
void CAnalyzerDlg::ArmFallback()
{
    if (inputChoice.current.empty() || !inputChoice.open)
        keeper.SetFallback(nullptr);
    else
        keeper.SetFallback([this] { return StandInWithTheDefault(QStringLiteral("has been gone for 10 seconds")); });
}

bool CAnalyzerDlg::StandInWithTheDefault(const QString& what)
{
    QString problem;
    if (!OpenInput("", problem))
        return false;
    defaultStandsIn = true;
    keeper.SetFallback(nullptr);
    chosenInputWatch.start();
    QString standIn = QStringLiteral("the default input");
    if (inputListing)
        for (const InputDeviceDescription& d : inputListing->Devices())
            if (d.isDefault)
                standIn += QStringLiteral(" (%1)").arg(QString::fromStdString(d.name));
    const QString text = QStringLiteral("The input %1 %2; %3 is used until it is back.")
                             .arg(QString::fromStdString(inputChoice.current), what, standIn);
    QMetaObject::invokeMethod(this, [this, text] { ShowError(text); }, Qt::QueuedConnection);
    return true;
}

// While the default input stands in: the chosen device, once listed again,
// is taken back.
void CAnalyzerDlg::TakeBackTheChosenInput()
{
    if (!defaultStandsIn || !inputListing)
        return;
    const std::vector<InputDeviceDescription>& devices = inputListing->Devices();
    const bool back = std::any_of(devices.begin(), devices.end(),
                                  [this](const InputDeviceDescription& d) { return d.name == inputChoice.current; });
    QString problem;
    if (!back || !OpenInput(inputChoice.current, problem))
        return;
    defaultStandsIn = false;
    chosenInputWatch.stop();
    ArmFallback();
}

std::string CAnalyzerDlg::InputInUse() const
{
    return defaultStandsIn || inputChoice.current.empty() ? std::string() : inputChoice.current;
}

void CAnalyzerDlg::SetShowTempo(bool on)
{
    showTempo = on;
    SharedSettings.TempoDetector = on;
    if (settingsPanel)
        settingsPanel->ShowTempoDetector(on);
    profile.WriteInt(ViewSection, "ShowTempo", on ? 1 : 0);
    RepaintPicture();
}

QString CAnalyzerDlg::TempoReadout() const
{
    if (!engine.TempoIsBeat())
        return QStringLiteral("\u2014 bpm");
    return QStringLiteral("%1 bpm").arg(engine.TempoBpm(), 0, 'f', 0);
}

void CAnalyzerDlg::SetShowKeyboard(bool on)
{
    showKeyboard = on;
    engine.SetConstantQWanted(on);
    if (keyboardWindow)
        keyboardWindow->setVisible(on && !isMinimized());
    profile.WriteInt(ViewSection, "ShowKeyboard", on ? 1 : 0);
}

// The pitch-class levels of both constant-Q frames of the block.
void CAnalyzerDlg::FeedKeyboard()
{
    float first[12], second[12], levels[12];
    PitchClassLevels(engine.GetCQSpectrum(), ConstantQBins, first);
    PitchClassLevels(engine.GetCQSpectrum() + ConstantQBins, ConstantQBins, second);
    for (int i = 0; i < 12; ++i)
        levels[i] = first[i] + second[i];
    keyboardWindow->SetPitchLevels(levels);
}

bool CAnalyzerDlg::StartLevelLog(const QString& path)
{
    std::string reason;
    if (calibratedInput != InputInUse())
        ApplyInputCalibration();
    readings.LevelLog().SetSoundLevels(meterWindow ? meterWindow->SoundLevelWeighting() : Weighting::A,
                                       calibration.calibrated, calibration.offset, readings.MicrophoneCorrection());
    if (!readings.LevelLog().Open(QFile::encodeName(path).toStdString(), reason)) {
        ShowError(QStringLiteral("The level log %1 could not be opened:\n%2").arg(path, QString::fromLocal8Bit(reason.c_str())));
        return false;
    }
    readings.LevelLogChanged();
    return true;
}

// Closing writes the last second's row; a row that could not be written
// (now or at the last block) is reported with the reason.
void CAnalyzerDlg::StopLevelLog()
{
    CLevelLog& levelLog = readings.LevelLog();
    const bool whole = levelLog.Close() && levelLog.Reason().empty();
    readings.LevelLogChanged();
    if (!whole)
        ShowError(QStringLiteral("The level log %1 could not be written (%2); it has stopped.")
                      .arg(QString::fromStdString(levelLog.Path()), QString::fromLocal8Bit(levelLog.Reason().c_str())));
}

void CAnalyzerDlg::ChooseAndLogLevels()
{
    if (readings.LevelLog().IsOpen()) {
        StopLevelLog();
        return;
    }
    const QString path = ChooseFile(QStringLiteral("Log levels"), QStringLiteral("levels.csv"),
                                    QStringLiteral("CSV files (*.csv)"));
    if (!path.isEmpty())
        StartLevelLog(path);
}
