#pragma once

#include "app/choice_menu.h"

#include <functional>

class QAction;
class CProfile;
struct MeasureSettings;

// The picture menu's "Measure" entries: averaging and peak hold (1-D
// spectrum and bands), the bands view's bands, frequency weighting and time
// weighting, each a group of choices over SharedMeasureSettings kept in
// section [Measure] at once, and "Reset measurement" (the main window takes
// R for it).
class CMeasureMenu : public CChoiceMenu {
public:
    // `changed` runs after any choice (the picture is shown again).
    CMeasureMenu(CProfile& profile, QWidget* parent, std::function<void()> changed, std::function<void()> reset);

    QAction* ResetAction() const { return reset; }

private:
    CProfile& profile;
    std::function<void()> changed;
    QAction* reset = nullptr;
};
