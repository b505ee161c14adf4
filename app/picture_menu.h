#pragma once

#include <QMenu>

class CAnalyzerDlg;
class QAction;
class QActionGroup;
class CMeasureMenu;

// The picture's context menu: the input, the view, the measuring settings,
// pause, saving the picture, exporting the spectrum, the overlays and the
// tool windows. Its checks are brought up
// to date each time it opens.
class CPictureMenu : public QMenu {
public:
    explicit CPictureMenu(CAnalyzerDlg& window);

    void Refresh();

    QMenu* InputMenu() const { return inputMenu; }
    QMenu* ModeMenu() const { return modeMenu; }
    CMeasureMenu* MeasureMenu() const { return measureMenu; }
    class CTransferMenu* TransferMenu() const { return transferMenu; }
    QAction* PauseAction() const { return pause; }
    QAction* SavePictureAction() const { return savePicture; }
    QAction* ExportSpectrumAction() const { return exportSpectrum; }
    QAction* FrequencyScaleAction() const { return frequencyScale; }
    QAction* ShowTempoAction() const { return showTempo; }
    QAction* ShowKeyboardAction() const { return showKeyboard; }
    QAction* ShowMeterAction() const { return showMeter; }
    QAction* LogLevelsAction() const { return logLevels; }
    QAction* CalibrateAction() const { return calibrate; }
    QAction* GeneratorAction() const { return generator; }

private:
    void AddModes();
    void FillInputs();

    CAnalyzerDlg& window;
    QMenu* inputMenu = nullptr;
    QMenu* modeMenu = nullptr;
    CMeasureMenu* measureMenu = nullptr;
    class CTransferMenu* transferMenu = nullptr;
    QActionGroup* modes = nullptr;
    QAction* pause = nullptr;
    QAction* savePicture = nullptr;
    QAction* exportSpectrum = nullptr;
    QAction* frequencyScale = nullptr;
    QAction* showTempo = nullptr;
    QAction* showKeyboard = nullptr;
    QAction* showMeter = nullptr;
    QAction* calibrate = nullptr;
    QAction* generator = nullptr;
    QAction* logLevels = nullptr;
};
