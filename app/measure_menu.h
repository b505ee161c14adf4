#pragma once

#include <QMenu>

#include <functional>

class QAction;
class QActionGroup;
class CProfile;
struct MeasureSettings;

// The picture menu's "Measure" entries: averaging and peak hold (1-D
// spectrum and bands), the bands view's bands, frequency weighting and time
// weighting, each a group of choices over SharedMeasureSettings kept in
// section [Measure] at once, and "Reset measurement" (the main window takes
// R for it).
class CMeasureMenu : public QMenu {
public:
    // `changed` runs after any choice (the picture is shown again).
    CMeasureMenu(CProfile& profile, QWidget* parent, std::function<void()> changed, std::function<void()> reset);

    // The checks follow the settings.
    void Refresh();
    QAction* ResetAction() const { return reset; }
    // The action of the choice `value` in the group titled `title`.
    QAction* Choice(const QString& title, int value) const;

private:
    void AddGroup(const QString& title, int32_t MeasureSettings::*field,
                  std::initializer_list<std::pair<const char*, int>> choices);

    CProfile& profile;
    std::function<void()> changed;
    QAction* reset = nullptr;
    struct Group {
        QMenu* menu;
        QActionGroup* actions;
        int32_t MeasureSettings::*field;
    };
    std::vector<Group> groups;
};
