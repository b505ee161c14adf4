#include "app/transfer_menu.h"

#include <QActionGroup>

#include "app/analyzer_dlg.h"
#include "settings/measure_settings.h"

CTransferMenu::CTransferMenu(CAnalyzerDlg& window, QWidget* parent)
    : QMenu(QStringLiteral("Transfer function"), parent), window(window)
{
    TransferSettings& s = SharedTransferSettings;
    AddGroup(QStringLiteral("Reference"), &s.Reference, {{"Left input", 0}, {"Right input", 1}, {"Generator", 2}});
    AddGroup(QStringLiteral("Measurement"), &s.Measurement, {{"Left input", 0}, {"Right input", 1}, {"Generator", 2}});
    AddGroup(QStringLiteral("Smoothing"), &s.Smoothing,
             {{"Off", 0}, {"1/48 octave", 48}, {"1/24 octave", 24}, {"1/12 octave", 12}, {"1/6 octave", 6},
              {"1/3 octave", 3}});
    AddGroup(QStringLiteral("Faint below coherence"), &s.CoherenceThreshold,
             {{"0.3", 30}, {"0.5", 50}, {"0.7", 70}, {"0.9", 90}});
    addSeparator();
    findDelay = addAction(QStringLiteral("Find delay"));
    connect(findDelay, &QAction::triggered, this, [this] { this->window.FindTransferDelay(); });
    QAction* typed = addAction(QStringLiteral("Delay\u2026"));
    connect(typed, &QAction::triggered, this, [this] { this->window.ChooseTransferDelay(); });
    connect(this, &QMenu::aboutToShow, this, [this] { Refresh(); });
}

void CTransferMenu::AddGroup(const QString& title, int32_t* field,
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
            *field = value;
            window.ApplyTransferSettings();
        });
    }
    groups.push_back({menu, actions, field});
    Refresh();
}

void CTransferMenu::Refresh()
{
    for (const Group& g : groups)
        for (QAction* action : g.actions->actions())
            action->setChecked(action->data().toInt() == *g.field);
}

QAction* CTransferMenu::Choice(const QString& title, int value) const
{
    for (const Group& g : groups)
        if (g.menu->title() == title)
            for (QAction* action : g.actions->actions())
                if (action->data().toInt() == value)
                    return action;
    return nullptr;
}
