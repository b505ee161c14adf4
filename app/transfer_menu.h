#pragma once

#include <QMenu>

#include <functional>
#include <vector>

class CAnalyzerDlg;
class QActionGroup;

// The transfer view's menu ("Transfer function" in the picture's menu):
// where reference and measurement come from, the smoothing, the coherence
// below which points are drawn faint, "Find delay" and "Delay…". Each
// choice is kept in [Transfer] at once.
class CTransferMenu : public QMenu {
public:
    CTransferMenu(CAnalyzerDlg& window, QWidget* parent);

    // The checks follow the settings.
    void Refresh();
    // The action of the choice `value` in the group titled `title`.
    QAction* Choice(const QString& title, int value) const;
    QAction* FindDelayAction() const { return findDelay; }

private:
    void AddGroup(const QString& title, int32_t* field, std::initializer_list<std::pair<const char*, int>> choices);

    CAnalyzerDlg& window;
    struct Group {
        QMenu* menu;
        QActionGroup* actions;
        int32_t* field;
    };
    std::vector<Group> groups;
    QAction* findDelay = nullptr;
};
