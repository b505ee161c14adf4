#pragma once

#include <QMenu>

#include <functional>
#include <initializer_list>
#include <utility>
#include <vector>

class QActionGroup;

// A menu of groups of choices, each group a submenu whose checked entry is
// the value of one setting: choosing an entry sets it and runs the group's
// handler; the checks follow the settings each time the menu opens.
class CChoiceMenu : public QMenu {
public:
    CChoiceMenu(const QString& title, QWidget* parent);

    // The checks follow the settings.
    void Refresh();
    // The action of the choice `value` in the group titled `title`.
    QAction* Choice(const QString& title, int value) const;

protected:
    void AddGroup(const QString& title, int32_t* setting, std::initializer_list<std::pair<const char*, int>> choices,
                  std::function<void()> chosen);

private:
    struct Group {
        QMenu* menu;
        QActionGroup* actions;
        int32_t* setting;
    };
    std::vector<Group> groups;
};
