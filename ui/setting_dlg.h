#pragma once

#include <QDialog>
#include <QMap>

#include <cstdint>

class CProfile;
class CSettingPage1;
class CSettingPage2;
class CSettingsHost;
class QButtonGroup;
class QComboBox;
class QSlider;
class QTabBar;

// The modeless settings panel: display mode, contrast, display options,
// window function, colour scheme, transform size, speed and zoom, and a tab
// control with the two settings pages. Every change goes at once into the
// shared settings; the panel restores its placement and values from the INI
// file when it is created and writes them back when it is destroyed.
class CSettingDlg : public QDialog {
public:
    enum Control {
        ContrastLowSlider = 1002, LogScaleCheck = 1003, GridCheck = 1004, HighEmphasisCheck = 1005,
        ZoomInButton = 1006, ZoomOutButton = 1007, CursorGuideCheck = 1008, ContrastHighSlider = 1009,
        SpeedUpButton = 1010, PolesOnlyCheck = 1011, PauseButton = 1012, Grid2Check = 1013, FirstModeButton = 1014,
        SpeedDownButton = 1019, WindowTypeList = 1020, WrapUnderCQCheck = 1023, ColorTypeList = 1024,
        PageTabs = 1025, TempoDetectorCheck = 1026, WindowSizeList = 1027,
    };
    static constexpr int MaxOversample = 8;

    // Builds the panel and its pages (the initialisation reads the INI
    // file), shows it and places the contrast sliders.
    CSettingDlg(CSettingsHost& host, CProfile& profile, QWidget* owner);
    ~CSettingDlg() override;

    bool OnInitDialog();
    // The radio group shows `mode` when its button can be chosen, else none.
    void ShowDisplayMode(int mode);
    // The "Pause" button shows `on`.
    void ShowPause(bool on);
    // The hidden "Tempo detector" box shows `on`.
    void ShowTempoDetector(bool on);
    void OnShowWindow();
    void OnContrastScroll();
    void OnLogScaleClicked();
    void OnGridClicked();
    void OnOptionClicked();
    void OnPauseClicked();
    void OnModeClicked();
    void OnWindowTypeChange();
    void OnColorTypeChange();
    void OnWindowSizeChange();
    void OnZoomIn();
    void OnZoomOut();
    void OnSpeedUp();
    void OnSpeedDown();
    void OnTabChange();
    // Writes the panel's keys, then the pages write theirs; once.
    void OnDestroy();

    QWidget* Control(int id) const { return controls.value(id); }
    QComboBox* List(int id) const;
    QSlider* Slider(int id) const;
    QButtonGroup* ModeGroup() const;
    QTabBar* Tabs() const;
    CSettingPage1* Page1() const { return page1; }
    CSettingPage2* Page2() const { return page2; }

    // The members exchanged with the controls, in exchange order.
    int32_t LogScale = 0;
    int32_t Grid = 0;
    int32_t HighEmphasis = 0;
    int32_t CursorGuide = 0;
    int32_t Pause = 0;
    int32_t PolesOnly = 0;
    int32_t Grid2 = 0;
    int32_t DisplayMode = 0;
    int32_t WrapUnderCQ = 0;
    int32_t TempoDetector = 0;

protected:
    void showEvent(QShowEvent* e) override;
    void hideEvent(QHideEvent* e) override;
    // The panel has no close box and stays until the main window goes:
    // Escape and Enter do not end it.
    void reject() override {}
    void accept() override {}

private:
    bool UpdateData(bool save);
    void Connect();
    void RestorePlacement();
    void ReadCheckBoxes();
    void SetUpSliders();
    void PlaceSliders();
    void CreatePages();
    void FillLists();
    void FillWindowTypes(bool fromStore);
    void FillColorTypes(bool fromStore);
    void FillWindowSizes(bool fromStore);
    void WriteCheckBoxes();

    CSettingsHost& host;
    CProfile& profile;
    QMap<int, QWidget*> controls;
    CSettingPage1* page1 = nullptr;
    CSettingPage2* page2 = nullptr;
    bool listsFilled = false;
    bool destroyed = false;
};
