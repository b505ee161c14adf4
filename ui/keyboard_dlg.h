#pragma once

#include <QDialog>

#include <functional>

class CProfile;

// The keyboard tool window: one octave whose keys show the levels of the
// twelve pitch classes. It keeps its rectangle in section "KBWindow" (restored
// only when Left and Top are above 0) and is created hidden; without one it
// goes below the main window when first shown.
class CKeyboardDlg : public QDialog {
public:
    CKeyboardDlg(CProfile& profile, QWidget* owner);
    ~CKeyboardDlg() override;

    // Stores the rectangle; once.
    void OnDestroy();
    // The client area's picture as the paint draws it.
    QImage Picture() const;

    // Takes the levels of a block; repaints only when they changed.
    void SetPitchLevels(const float* levels);
    // Paints so far.
    long Paints() const { return paints; }
    // What closing the window from the desktop does: the owner takes it
    // down and unticks its menu entry.
    void SetCloseHandler(std::function<void()> handler) { closeHandler = std::move(handler); }

    float PitchLevels[12] = {};

protected:
    void paintEvent(QPaintEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void showEvent(QShowEvent* e) override;
    // A tool window like the settings panel: Escape and Enter do not end it.
    void reject() override {}
    void accept() override {}

private:
    CProfile& profile;
    bool destroyed = false;
    bool placed = false;  // restored, or placed when first shown
    long paints = 0;
    std::function<void()> closeHandler;
};
