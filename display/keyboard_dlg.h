#pragma once

#include <QDialog>

class CProfile;

// The keyboard tool window: one octave whose keys show the levels of the
// twelve pitch classes. It keeps its rectangle in section "KBWindow" (restored
// only when Left and Top are above 0) and is created hidden.
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

    float PitchLevels[12] = {};

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    CProfile& profile;
    bool destroyed = false;
    long paints = 0;
};
