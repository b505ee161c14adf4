#include "app/choice_menu.h"

#include <QActionGroup>

CChoiceMenu::CChoiceMenu(const QString& title, QWidget* parent) : QMenu(title, parent)
{
    connect(this, &QMenu::aboutToShow, this, [this] { Refresh(); });
}

void CChoiceMenu::AddGroup(const QString& title, int32_t* setting,
                           std::initializer_list<std::pair<const char*, int>> choices, std::function<void()> chosen)
{
    QMenu* menu = addMenu(title);
    auto* actions = new QActionGroup(menu);
    for (const auto& [caption, value] : choices) {
        QAction* action = menu->addAction(QString::fromUtf8(caption));
        action->setCheckable(true);
        action->setData(value);
        actions->addAction(action);
        connect(action, &QAction::triggered, this, [setting, value = value, chosen] {
            *setting = value;
            chosen();
        });
    }
    groups.push_back({menu, actions, setting});
    Refresh();
}

void CChoiceMenu::Refresh()
{
    for (const Group& g : groups)
        for (QAction* action : g.actions->actions())
            action->setChecked(action->data().toInt() == *g.setting);
}

QAction* CChoiceMenu::Choice(const QString& title, int value) const
{
    for (const Group& g : groups)
        if (g.menu->title() == title)
            for (QAction* action : g.actions->actions())
                if (action->data().toInt() == value)
                    return action;
    return nullptr;
}
