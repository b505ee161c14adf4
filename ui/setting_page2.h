#pragma once

#include <QWidget>
#include <QMap>

#include <cstdint>

class CProfile;
class CSettingsHost;
class QCheckBox;
class QLineEdit;

// Settings page 2: the stereo view and the constant-Q window adjustment.
// Loads them from the INI file when it is created, publishes every change at
// once and writes them back when it is destroyed.
class CSettingPage2 : public QWidget {
public:
    CSettingPage2(CProfile& profile, CSettingsHost& host, QWidget* parent);
    ~CSettingPage2() override;

    bool OnInitDialog();
    void OnStereoClicked();
    void OnAdjustmentChange();
    void OnDestroy();

    QWidget* Control(int id) const { return controls.value(id); }

    QCheckBox* StereoBox() const;
    QLineEdit* AdjustmentEdit() const;

    int32_t Stereo = 0;
    float CQAdjustmentValue = 0.0f;

private:
    bool UpdateData(bool save);

    CProfile& profile;
    CSettingsHost& host;
    QMap<int, QWidget*> controls;
    bool destroyed = false;
};
