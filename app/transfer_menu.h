#pragma once

#include "app/choice_menu.h"

class CAnalyzerDlg;

// The transfer view's menu ("Transfer function" in the picture's menu):
// where reference and measurement come from, the smoothing, the coherence
// below which points are drawn faint, "Find delay" and "Delay…". Each
// choice is kept in [Transfer] at once.
class CTransferMenu : public CChoiceMenu {
public:
    CTransferMenu(CAnalyzerDlg& window, QWidget* parent);

    QAction* FindDelayAction() const { return findDelay; }

private:
    QAction* findDelay = nullptr;
};
