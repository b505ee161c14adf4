#include "resources/dialog_templates.h"

#include <iterator>

namespace {

using K = ControlKind;

// The settings panel.
const ControlTemplate SettingsPanelControls[] = {
    {1014, K::RadioButton, "2-D Spectrogram", 10, 130, 105, 10, ControlGroupStart},
    {1017, K::RadioButton, "Constant-Q Spectrogram", 10, 141, 110, 10, 0},
    {1015, K::RadioButton, "1-D Spectum", 10, 150, 80, 10, 0},
    {1016, K::RadioButton, "LPC", 10, 160, 110, 10, ControlDisabled},
    {1021, K::RadioButton, "Speech", 10, 170, 110, 10, ControlDisabled},
    {1018, K::RadioButton, "1-D Spectum 2", 10, 180, 80, 10, ControlDisabled},
    {1002, K::Slider, "", 55, 20, 80, 15, 0},
    {NoControlId, K::Label, "Contrast high", 5, 5, 40, 10, 0},
    {1003, K::CheckBox, "Log Scale", 5, 70, 45, 10, 0},
    {1004, K::CheckBox, "Grid", 5, 80, 45, 10, 0},
    {1005, K::CheckBox, "High Emphasis", 5, 100, 60, 10, 0},
    {1006, K::PushButton, "+", 105, 45, 15, 15, 0},
    {1007, K::PushButton, "-", 105, 60, 15, 15, 0},
    {1008, K::CheckBox, "CursorGuide", 5, 110, 60, 10, 0},
    {1009, K::Slider, "", 55, 0, 80, 15, 0},
    {NoControlId, K::Label, "Contrast low", 5, 20, 40, 10, 0},
    {1012, K::PushLikeCheckBox, "Pause", 5, 45, 40, 15, 0},
    {NoControlId, K::GroupBox, "YScale", 95, 35, 35, 45, 0},
    {1011, K::CheckBox, "極のみ表示", 5, 395, 60, 10, ControlHidden},
    {1013, K::CheckBox, "Grid2", 5, 90, 40, 10, 0},
    {NoControlId, K::GroupBox, "Display", 5, 120, 125, 80, 0},
    {1020, K::ComboBox, "", 15, 295, 105, 125, 0},
    {NoControlId, K::GroupBox, "Window", 5, 285, 125, 30, 0},
    {1023, K::CheckBox, "Wrap spectrum under cq", 5, 375, 85, 10, ControlHidden},
    {1024, K::ComboBox, "", 15, 325, 105, 125, 0},
    {NoControlId, K::GroupBox, "Color", 5, 315, 125, 30, 0},
    {1025, K::Tab, "", 5, 200, 125, 85, 0},
    {1026, K::CheckBox, "Tempo detector", 5, 385, 70, 10, ControlHidden},
    {NoControlId, K::GroupBox, "Speed", 50, 35, 40, 30, 0},
    {1010, K::PushButton, "+", 55, 45, 15, 15, 0},
    {1019, K::PushButton, "-", 70, 45, 15, 15, 0},
    {1027, K::ComboBox, "", 15, 355, 105, 125, 0},
    {NoControlId, K::GroupBox, "WindowSize", 5, 345, 125, 30, 0},
};

// Settings page 1: the frequency range and the signal threshold.
const ControlTemplate SettingsPage1Controls[] = {
    {1010, K::Edit, "", 55, 0, 50, 15, 0},
    {NoControlId, K::Label, "Max. Freq (Hz)", 5, 0, 45, 15, 0},
    {1018, K::Edit, "", 55, 15, 50, 15, ControlDisabled},
    {NoControlId, K::Label, "Oversample(x)", 5, 15, 45, 15, 0},
    {1019, K::Edit, "", 55, 30, 50, 15, 0},
    {NoControlId, K::Label, "Range Min (Hz)", 5, 30, 45, 15, 0},
    {1022, K::Edit, "", 55, 45, 50, 15, 0},
    {NoControlId, K::Label, "Signal Thre.", 5, 45, 45, 15, 0},
};

// Settings page 2: the stereo view and the constant-Q window adjustment.
const ControlTemplate SettingsPage2Controls[] = {
    {1003, K::CheckBox, "StereoView", 5, 5, 70, 10, 0},
    {1010, K::Edit, "", 55, 15, 50, 15, 0},
    {NoControlId, K::Label, "CQFFT Window Adjustment", 5, 15, 45, 15, 0},
};

const DialogTemplate Templates[] = {
    // The main window: no controls, the whole client area is the picture.
    {MainWindowTemplate, "Tavimeter", 322, 298, DialogSizable | DialogMaximizeBox | DialogVerticalScroll | DialogInTaskBar,
     nullptr, 0},
    {SettingsPanelTemplate, "Settings", 134, 410, DialogSizable | DialogToolWindow, SettingsPanelControls,
     int(std::size(SettingsPanelControls))},
    // The keyboard window: no controls, the picture is painted.
    {KeyboardTemplate, "鍵盤表示", 262, 123, DialogSizable | DialogToolWindow, nullptr, 0},
    {SettingsPage1Template, "", 185, 93, DialogChild, SettingsPage1Controls, int(std::size(SettingsPage1Controls))},
    {SettingsPage2Template, "", 142, 93, DialogChild, SettingsPage2Controls, int(std::size(SettingsPage2Controls))},
};

} // namespace

const DialogTemplate* FindDialogTemplate(int id)
{
    for (const DialogTemplate& t : Templates)
        if (t.id == id)
            return &t;
    return nullptr;
}
