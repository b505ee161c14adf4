#pragma once

// The dialog templates as data: each window's caption, size in dialog units,
// style, and its controls. One builder turns them into widgets.

enum DialogStyle : unsigned {
    DialogSizable = 1u << 0,
    DialogMaximizeBox = 1u << 1,
    DialogVerticalScroll = 1u << 2,
    DialogInTaskBar = 1u << 3,
    DialogToolWindow = 1u << 4,  // narrow caption, no system menu, no close box
    DialogChild = 1u << 5,       // a child window without caption
};

enum class ControlKind { PushButton, CheckBox, PushLikeCheckBox, RadioButton, ComboBox, Slider, Edit, Label, GroupBox, Tab };

// The id of labels and group boxes, which nothing addresses.
constexpr int NoControlId = -1;

enum ControlStyle : unsigned {
    ControlHidden = 1u << 0,
    ControlDisabled = 1u << 1,
    ControlGroupStart = 1u << 2,  // a radio button that starts a new group
};

struct ControlTemplate {
    int id;
    ControlKind kind;
    const char* caption;
    int x, y, cx, cy;  // dialog units
    unsigned style;
};

struct DialogTemplate {
    int id;
    const char* caption;
    int cx, cy;  // client size in dialog units
    unsigned style;
    const ControlTemplate* controls;
    int controlCount;
};

// The template with this id, or null.
const DialogTemplate* FindDialogTemplate(int id);

constexpr int MainWindowTemplate = 102;
constexpr int ApplicationIcon = 128;
constexpr int SettingsPanelTemplate = 129;
constexpr int KeyboardTemplate = 130;
constexpr int SettingsPage1Template = 101;
constexpr int SettingsPage2Template = 131;
