#pragma once

#include <QDialog>
#include <QImage>
#include <QTimer>

#include <functional>
#include <memory>

#include "analysis/block_readings.h"
#include "analysis/transfer_measurement.h"
#include "analysis/wave_capture.h"
#include "app/capture_keeper.h"
#include "display/frequency_scale.h"
#include "display/renderer.h"
#include "framework/frequency_scale_painter.h"
#include "framework/qt_drawing_context.h"
#include "input/sound_input_driver.h"
#include "store/calibration_store.h"
#include "ui/settings_host.h"

class CProfile;
class QScrollBar;
class CPictureArea;
class QPainter;
class QFontMetrics;
class QRegion;
class QRect;
class CPicturePresenter;
class CSettingDlg;
class CPictureMenu;
class CKeyboardDlg;
class CMeterDlg;
class CCalibrationDlg;
class CGeneratorDlg;
class CPulseOutput;
class CInputListing;

// The main window: turns every captured buffer into one analysis step, one
// drawing of the view into the surface and one repaint; paints through the
// renderer, keeps the scroll bar in step with the vertical zoom, tracks the
// mouse frequency and keeps its placement. Its handlers are in
// analyzer_dlg.cpp, what its picture menu does in picture_actions.cpp.
// Its bases:
// - QDialog: the window itself, run modally by the application;
// - CRenderer: the window is the renderer, with the surface and the view
//   state, as the design has it;
// - WaveNotifyTarget: the sound input posts its notifications to it;
// - CSettingsHost: what the settings panel calls on it (zoom, view, repaint).
class CAnalyzerDlg : public QDialog, public CRenderer, public WaveNotifyTarget, public CSettingsHost {
public:
    // Scroll codes of OnVScroll.
    enum ScrollCode { LineUp = 0, LineDown = 1, PageUp = 2, PageDown = 3, ThumbPosition = 4, ThumbTrack = 5,
                      EndScroll = 8 };

    using MessagePresenter = std::function<void(QWidget* parent, const QString& text)>;
    // Asks for a file to write: the chosen path, or empty when cancelled.
    // The inputs the menu offers, and how one is opened.
    struct InputChoice {
        std::function<std::vector<InputDeviceDescription>()> list;
        std::function<std::unique_ptr<WaveInputDriver>(const std::string& name)> open;
        std::string current;  // the device in use; empty for the default one
        // `current` was read from the INI file: when it cannot be opened at
        // start, the default input is used instead.
        bool currentFromStore = false;
    };
    using FileChooser =
        std::function<QString(QWidget* parent, const QString& caption, const QString& proposal, const QString& filter)>;

    CAnalyzerDlg(CProfile& profile, WaveInputDriver* driver);
    ~CAnalyzerDlg() override;

    // Placement, surface, capture, settings panel and scroll bar; before the
    // first show.
    bool OnInitDialog();
    // Paints `region` of the picture.
    void OnPaint(const QRegion& region);
    void OnSize();
    void OnVScroll(int code, int thumbPosition);
    void OnMouseMove(int x, int y);
    void OnMouseLeave();
    void OnDestroy();

    void ZoomIn() override;
    void ZoomOut() override;
    void SetDisplayMode(int mode) override;
    void ReconfigureConstantQ() override;
    void UpdateCQWrapBand() override;
    void RepaintPicture() override;
    void UpdateScrollBar();

    // The picture's context menu, and what it does (picture_actions.cpp).
    CPictureMenu* PictureMenu() const { return pictureMenu; }
    void SetPause(bool on);
    void ChooseAndSavePicture();
    void ChooseAndExportSpectrum();
    // The picture as shown, labels included, as a PNG file; false (with a
    // message shown) when it cannot be written.
    bool SavePicture(const QString& path);
    // The newest spectrum as CSV (in the bands view, the bands); false (with
    // a message) when it cannot be written.
    bool ExportSpectrum(const QString& path);
    bool ExportBands(const QString& path);
    void SetFrequencyScale(bool on);
    // Capture switches to the device `name` (empty: the default input,
    // following the desktop's) at once and keeps it for the next run; a
    // device that cannot be opened is reported and the one in use goes on.
    // A device chosen by name that is gone for 10 seconds gives way to the
    // default input, with a message, and is taken back once it is listed
    // again.
    bool SwitchInput(const std::string& name);
    // The device capture records from: empty for the default input (also
    // while it stands in for a device that is gone).
    std::string InputInUse() const;
    // The inputs the menu offers; their listing starts with OnInitDialog.
    void SetInputChoice(InputChoice choice);
    const InputChoice& Inputs() const { return inputChoice; }
    // The menu's list of inputs, kept up to date off the GUI thread; null
    // when the input cannot be chosen (a file is analysed).
    CInputListing* InputListing() const { return inputListing.get(); }
    bool FrequencyScale() const { return frequencyScale; }
    // The tempo estimate in the picture's top-right corner; it runs the
    // tempo detector (the panel's hidden "Tempo detector" box follows).
    void SetShowTempo(bool on);
    bool ShowTempo() const { return showTempo; }
    // The bands view's level under the mouse, "1k Hz: -23.4 dB", or the
    // transfer view's point ("1.00 kHz: +6.0 dB, 12°, coherence 0.99"); ""
    // outside those views or their plots.
    QString BandReadout() const;
    // "120 bpm", or "— bpm" without a clear beat.
    QString TempoReadout() const;
    // The keyboard window, fed from the constant-Q frames of every block.
    void SetShowKeyboard(bool on);
    bool ShowKeyboard() const { return showKeyboard; }
    // The meter window, fed every captured block.
    void SetShowMeter(bool on);
    bool ShowMeter() const { return showMeter; }
    // The level log: a row a second into `path` from now on; false, with a
    // message, when the file cannot be opened. Stopping closes it.
    bool StartLevelLog(const QString& path);
    void StopLevelLog();
    void ChooseAndLogLevels();
    const CLevelLog& LevelLog() const { return readings.LevelLog(); }

    // Called from the capture thread: posted on to the GUI thread.
    void PostWaveData(WaveHeader* header) override;
    void PostWaveClose() override;
    void PostWaveError(const std::string& message) override;
    void PostWaveEnd() override;
    // What the title names when the input ends ("Tavimeter — end of NAME").
    void SetInputName(const QString& name) { inputName = name; }

    CProfile& Profile() { return profile; }
    CWaveCapture& Engine() { return engine; }
    const CWaveCapture& Engine() const { return engine; }
    // Our readings of the engine's blocks: measurement, meter, level log.
    CBlockReadings& Readings() { return readings; }
    const CBlockReadings& Readings() const { return readings; }
    RECT ClientRect() const;
    QScrollBar* ScrollBar() const { return scrollBar; }
    QWidget* PictureArea() const;
    int ScrollRangeMax() const { return scrollRangeMax; }
    long BlocksAnalysed() const { return blocksAnalysed; }
    // Blocks analysed since capture last started (or started again).
    long BlocksSinceStart() const { return keeper.BlocksSinceStart(); }
    // Analysed blocks that reached the window.
    long BlocksPainted() const { return blocksPainted; }
    bool IsInitialised() const { return initialised != 0; }
    // Capture could not be started at all: the program ends with an error.
    bool CaptureFailed() const { return captureFailed; }
    const CCaptureKeeper& Keeper() const { return keeper; }
    const CPicturePresenter& PicturePresenter() const { return *presenter; }
    CSettingDlg* SettingsPanel() const { return settingsPanel.get(); }
    CKeyboardDlg* KeyboardWindow() const { return keyboardWindow.get(); }
    CMeterDlg* MeterWindow() const { return meterWindow.get(); }
    CCalibrationDlg* CalibrationWindow() const { return calibrationWindow.get(); }

    // The calibration of the input in use (meter_actions.cpp): "Calibrate…"
    // opens its window; a new offset is kept for the input, with today's
    // date (false, with a message, when it cannot be written); forgetting
    // it makes the input read dBFS again.
    void OpenCalibration();
    bool SetInputCalibration(double offset);
    // The input's microphone correction file (empty: none), read and kept
    // for it; what is wrong with the file, with its line, or "".
    QString SetInputMicrophone(const QString& path);
    void ForgetInputCalibration();
    const InputCalibration& InputCalibrationInUse() const { return calibration; }
    // Starts the integrated values of both meters again (Reset, R).
    void ResetMeters();

    // The transfer view (transfer_actions.cpp): its measurement follows the
    // [Transfer] settings, which are kept; "Find delay" finds the delay in
    // the last seconds of both signals and compensates it ("No delay found"
    // and why, otherwise); "Delay…" takes it typed, in ms.
    CTransferMeasurement& Transfer() { return transfer; }
    void ApplyTransferSettings(bool keep = true);
    bool FindTransferDelay();
    void ChooseTransferDelay();
    void SetTransferDelay(double milliseconds);

    // "Generator…" (generator_actions.cpp): its window, the sinks listed in
    // the background; its playback stream opened at the first start and
    // kept while the window is open; what it played is the transfer view's
    // generator.
    void OpenGenerator();
    CGeneratorDlg* GeneratorWindow() const { return generatorWindow.get(); }
    CPulseOutput* GeneratorOutput() const { return generatorOutput.get(); }
    // Where errors go; a message box unless replaced.
    static void SetMessagePresenter(MessagePresenter presenter);
    static void SetFileChooser(FileChooser chooser);

protected:
    bool event(QEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void changeEvent(QEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;
    void done(int result) override;

private:
    void StartCapture();
    void OnCaptureData();
    void InputLost(const QString& reason);
    void ShowError(const QString& text);
    void RestorePlacement();
    void SavePlacement();
    void ConnectScrollBar();
    void PaintTempo(QPainter& painter);
    QRect BandReadoutBox(const QFontMetrics& metrics, const QString& text) const;
    void PaintBandReadout(QPainter& painter);
    QRect TempoBox(const QFontMetrics& metrics, const QString& text) const;
    ScaleView ScaleViewNow() const;
    // What the window paints over the renderer's picture: scale and tempo.
    QRegion WindowOverlayArea() const;
    void FeedKeyboard();
    void FeedMeterAndLog();
    void ShowMeterReadings(bool soundLevelsToo = true);
    void UpdateMeterWanted();
    void ApplyInputCalibration();
    QString ChooseFile(const QString& caption, const QString& name, const QString& filter);
    bool OpenInput(const std::string& name, QString& problem);
    void ArmFallback();
    bool StandInWithTheDefault(const QString& what);
    void TakeBackTheChosenInput();
    bool WriteWholeFile(const QString& path, const void* data, size_t size, const QString& failure);
    bool ExportTransfer(const QString& path);
    QString StartGenerator(const struct GeneratorSettings& settings, const std::string& sink);
    void WatchGenerator();
    void ListSinks();

    QImage icon;
    CWaveCapture engine;
    CBlockReadings readings{engine};
    CTransferMeasurement transfer;
    CCaptureKeeper keeper;
    CProfile& profile;
    std::unique_ptr<CSettingDlg> settingsPanel;
    std::unique_ptr<CKeyboardDlg> keyboardWindow;
    std::unique_ptr<CMeterDlg> meterWindow;
    std::unique_ptr<CCalibrationDlg> calibrationWindow;
    std::unique_ptr<CGeneratorDlg> generatorWindow;
    std::unique_ptr<CPulseOutput> generatorOutput;
    QTimer generatorWatch;  // its status, while its window shows
    std::unique_ptr<CInputListing> sinkListing;
    // The input whose calibration is in effect, and that calibration.
    std::string calibratedInput;
    InputCalibration calibration;
    std::string microphoneApplied;  // the microphone file in effect
    CPictureMenu* pictureMenu = nullptr;
    InputChoice inputChoice;
    std::unique_ptr<CInputListing> inputListing;
    bool defaultStandsIn = false;  // for a device chosen by name that is gone
    QTimer chosenInputWatch;       // lists the devices while it is gone
    WaveInputDriver* inputDriver;
    std::unique_ptr<WaveInputDriver> chosenDriver;  // a driver chosen from the menu
    bool frequencyScale = false;
    // mutable: the overlay keeps what it worked out for the view it last
    // saw, also when asked where it paints.
    mutable CFrequencyScaleOverlay scaleOverlay;
    bool showTempo = false;
    bool showKeyboard = false;
    bool showMeter = false;
    QString inputName;
    int initialised = 0;
    bool destroyed = false;
    bool captureFailed = false;
    CPictureArea* picture = nullptr;
    QScrollBar* scrollBar = nullptr;
    int scrollRangeMax = 0;
    CImageSurfaceFactory surfaces;
    std::unique_ptr<CPicturePresenter> presenter;
    int mouseX = 0, mouseY = 0;
    bool mouseInside = false;
    long blocksAnalysed = 0;
    long blocksPainted = 0;
    bool blockWaiting = false;  // drawn into the surface, not yet shown
};
