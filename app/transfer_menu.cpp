#include "app/transfer_menu.h"

#include "app/analyzer_dlg.h"
#include "settings/measure_settings.h"

CTransferMenu::CTransferMenu(CAnalyzerDlg& window, QWidget* parent)
    : CChoiceMenu(QStringLiteral("Transfer function"), parent)
{
    TransferSettings& s = SharedTransferSettings;
    const auto apply = [&window] { window.ApplyTransferSettings(); };
    AddGroup(QStringLiteral("Reference"), &s.Reference, {{"Left input", 0}, {"Right input", 1}, {"Generator", 2}},
             apply);
    AddGroup(QStringLiteral("Measurement"), &s.Measurement, {{"Left input", 0}, {"Right input", 1}, {"Generator", 2}},
             apply);
    AddGroup(QStringLiteral("Smoothing"), &s.Smoothing,
             {{"Off", 0}, {"1/48 octave", 48}, {"1/24 octave", 24}, {"1/12 octave", 12}, {"1/6 octave", 6},
              {"1/3 octave", 3}},
             apply);
    AddGroup(QStringLiteral("Faint below coherence"), &s.CoherenceThreshold,
             {{"0.3", 30}, {"0.5", 50}, {"0.7", 70}, {"0.9", 90}}, apply);
    addSeparator();
    findDelay = addAction(QStringLiteral("Find delay"));
    connect(findDelay, &QAction::triggered, this, [&window] { window.FindTransferDelay(); });
    QAction* typed = addAction(QStringLiteral("Delay\u2026"));
    connect(typed, &QAction::triggered, this, [&window] { window.ChooseTransferDelay(); });
}
