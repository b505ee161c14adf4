#pragma once

// The dialog templates as data: each window's caption, size in dialog units,
// style, and its controls. One builder turns them into widgets.

enum DialogStyle : unsigned {
    DialogSizable = 1u << 0,
    DialogMaximizeBox = 1u << 1,
    DialogVerticalScroll = 1u << 2,
    DialogInTaskBar = 1u << 3,
};

enum class ControlKind { PushButton, CheckBox, PushLikeCheckBox, RadioButton, ComboBox, Slider, Edit, Label, Tab };

enum ControlStyle : unsigned {
    ControlHidden = 1u << 0,
    ControlDisabled = 1u << 1,
    ControlGroupStart = 1u << 2,
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
