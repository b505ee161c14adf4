#include "ui/setting_page2.h"

#include <QCheckBox>
#include <QLineEdit>

#include "framework/data_exchange.h"
#include "framework/dialog_builder.h"
#include "resources/dialog_templates.h"
#include "settings/shared_settings.h"
#include "store/profile.h"
#include "store/stored_settings.h"
#include "ui/settings_host.h"

namespace {

enum Control { StereoCheck = 1003, AdjustmentEdit = 1010 };

} // namespace

CSettingPage2::CSettingPage2(CProfile& profile, CSettingsHost& host, QWidget* parent)
    : QWidget(parent), profile(profile), host(host)
{
    setVisible(false);
    controls = BuildDialog(this, this, *FindDialogTemplate(SettingsPage2Template));
    connect(StereoBox(), &QCheckBox::clicked, this, [this] { OnStereoClicked(); });
    connect(AdjustmentEdit(), &QLineEdit::textChanged, this, [this] { OnAdjustmentChange(); });
    OnInitDialog();
}

CSettingPage2::~CSettingPage2()
{
    OnDestroy();
}

QCheckBox* CSettingPage2::StereoBox() const
{
    return static_cast<QCheckBox*>(controls.value(StereoCheck));
}

QLineEdit* CSettingPage2::AdjustmentEdit() const
{
    return static_cast<QLineEdit*>(controls.value(::AdjustmentEdit));
}

bool CSettingPage2::OnInitDialog()
{
    // Any non-zero value means stereo and is kept as it was stored.
    Stereo = profile.ReadInt(SettingSection, "Stereo");
    SharedSettings.Stereo = Stereo;
    CQAdjustmentValue = ReadStoredFloat(profile, "CQAdjustmentValue");
    SharedSettings.CQAdjustmentValue = CQAdjustmentValue;
    // The kernel is built with this value by the panel's first list filling.
    UpdateData(false);
    return true;
}

bool CSettingPage2::UpdateData(bool save)
{
    CDataExchange exchange(save);
    exchange.Check(StereoBox(), Stereo);
    exchange.Float(AdjustmentEdit(), CQAdjustmentValue);
    return !exchange.Failed();
}

void CSettingPage2::OnStereoClicked()
{
    UpdateData(true);
    SharedSettings.Stereo = Stereo;
    host.RepaintPicture();
}

void CSettingPage2::OnAdjustmentChange()
{
    UpdateData(true);
    SharedSettings.CQAdjustmentValue = CQAdjustmentValue;
    host.ReconfigureConstantQ();
    host.UpdateCQWrapBand();
    host.RepaintPicture();
}

void CSettingPage2::OnDestroy()
{
    if (destroyed)
        return;
    destroyed = true;
    profile.WriteInt(SettingSection, "Stereo", Stereo);
    profile.WriteFloat(SettingSection, "CQAdjustmentValue", CQAdjustmentValue);
}
