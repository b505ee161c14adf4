#pragma once

#include <QWidget>
#include <QMap>

#include "store/stored_settings.h"

class CProfile;
class QLineEdit;

// Settings page 1: the upper frequency bound, the range minimum and the
// signal threshold. Loads them from the INI file when it is created,
// publishes every edit at once and writes them back when it is destroyed.
class CSettingPage1 : public QWidget {
public:
    CSettingPage1(CProfile& profile, QWidget* parent);
    ~CSettingPage1() override;

    bool OnInitDialog();
    void OnEditChange();
    void OnDestroy();

    QWidget* Control(int id) const { return controls.value(id); }

    QLineEdit* Edit(int id) const;

    float MaxFreq = MaxFreqDefault;
    float AMinFreq = 10.0f;
    float SignalThre = 0.0f;

private:
    bool UpdateData(bool save);
    void Publish() const;

    CProfile& profile;
    QMap<int, QWidget*> controls;
    bool destroyed = false;
};
