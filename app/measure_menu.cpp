#include "app/measure_menu.h"

#include <QActionGroup>

#include "settings/measure_settings.h"
#include "store/stored_settings.h"

CMeasureMenu::CMeasureMenu(CProfile& profile, QWidget* parent, std::function<void()> changed,
                           std::function<void()> resetMeasurement)
    : QMenu(QStringLiteral("Measure"), parent), profile(profile), changed(std::move(changed))
{
    AddGroup(QStringLiteral("Averaging"), &MeasureSettings::Averaging,
             {{"Off", 0}, {"Fast (0.125 s)", 1}, {"Slow (1 s)", 2}, {"4 s", 3}, {"Linear (since the reset)", 4}});
    AddGroup(QStringLiteral("Peak hold"), &MeasureSettings::PeakHold,
             {{"Off", 0}, {"Held until reset", 1}, {"Falling 10 dB/s", 2}});
    addSeparator();
    AddGroup(QStringLiteral("Bands"), &MeasureSettings::BandsPerOctave,
             {{"1/1 octave", 1}, {"1/3 octave", 3}, {"1/6 octave", 6}, {"1/12 octave", 12}});
    AddGroup(QStringLiteral("Frequency weighting"), &MeasureSettings::Weighting, {{"A", 1}, {"C", 2}, {"Z", 0}});
    AddGroup(QStringLiteral("Time weighting"), &MeasureSettings::TimeWeighting,
             {{"Fast (0.125 s)", 0}, {"Slow (1 s)", 1}});
    addSeparator();
    // R itself is the main window's key (a shortcut would be the meter
    // window's too, a tool window of it).
    reset = addAction(QStringLiteral("Reset measurement\tR"));
    connect(reset, &QAction::triggered, this, [this, resetMeasurement] {
        resetMeasurement();
        this->changed();
    });
    connect(this, &QMenu::aboutToShow, this, [this] { Refresh(); });
}

void CMeasureMenu::AddGroup(const QString& title, int32_t MeasureSettings::*field,
                            std::initializer_list<std::pair<const char*, int>> choices)
{
    QMenu* menu = addMenu(title);
    auto* actions = new QActionGroup(menu);
    for (const auto& [caption, value] : choices) {
        QAction* action = menu->addAction(QString::fromUtf8(caption));
        action->setCheckable(true);
        action->setData(value);
        actions->addAction(action);
        connect(action, &QAction::triggered, this, [this, field, value = value] {
            SharedMeasureSettings.*field = value;
            StoreMeasureSettings(profile, SharedMeasureSettings);
            changed();
        });
    }
    groups.push_back({menu, actions, field});
    Refresh();
}

void CMeasureMenu::Refresh()
{
    for (const Group& g : groups)
        for (QAction* action : g.actions->actions())
            action->setChecked(action->data().toInt() == SharedMeasureSettings.*g.field);
}

QAction* CMeasureMenu::Choice(const QString& title, int value) const
{
    for (const Group& g : groups)
        if (g.menu->title() == title)
            for (QAction* action : g.actions->actions())
                if (action->data().toInt() == value)
                    return action;
    return nullptr;
}
