#include "ui/setting_page1.h"

#include <QLineEdit>

#include "framework/data_exchange.h"
#include "framework/dialog_builder.h"
#include "resources/dialog_templates.h"
#include "settings/shared_settings.h"
#include "store/profile.h"
#include "store/stored_settings.h"

namespace {

enum Control { MaxFreqEdit = 1010, OversampleEdit = 1018, MinFreqEdit = 1019, SignalThresholdEdit = 1022 };

} // namespace

CSettingPage1::CSettingPage1(CProfile& profile, QWidget* parent) : QWidget(parent), profile(profile)
{
    setVisible(false);
    controls = BuildDialog(this, this, *FindDialogTemplate(SettingsPage1Template));
    for (const int id : {MaxFreqEdit, OversampleEdit, MinFreqEdit, SignalThresholdEdit})
        connect(Edit(id), &QLineEdit::textChanged, this, [this] { OnEditChange(); });
    OnInitDialog();
}

CSettingPage1::~CSettingPage1()
{
    OnDestroy();
}

QLineEdit* CSettingPage1::Edit(int id) const
{
    return static_cast<QLineEdit*>(controls.value(id));
}

bool CSettingPage1::OnInitDialog()
{
    MaxFreq = StoredMaxFreq(profile);
    AMinFreq = ReadStoredFloat(profile, "AMinFreq");
    SignalThre = ReadStoredFloat(profile, "SignalThre");
    Publish();
    UpdateData(false);
    return true;
}

bool CSettingPage1::UpdateData(bool save)
{
    CDataExchange exchange(save);
    exchange.Float(Edit(MaxFreqEdit), MaxFreq);
    exchange.Float(Edit(MinFreqEdit), AMinFreq);
    exchange.Float(Edit(SignalThresholdEdit), SignalThre);
    return !exchange.Failed();
}

void CSettingPage1::OnEditChange()
{
    UpdateData(true);
    // The edit keeps showing what the user typed.
    if (MaxFreq < MaxFreqLowest)
        MaxFreq = MaxFreqLowest;
    if (MaxFreq > MaxFreqHighest)
        MaxFreq = MaxFreqHighest;
    Publish();
}

void CSettingPage1::Publish() const
{
    SharedSettings.MaxFreq = MaxFreq;
    SharedSettings.AMinFreq = AMinFreq;
    SharedSettings.SignalThre = SignalThre;
}

void CSettingPage1::OnDestroy()
{
    if (destroyed)
        return;
    destroyed = true;
    profile.WriteFloat(SettingSection, "MaxFreq", MaxFreq);
    profile.WriteFloat(SettingSection, "AMinFreq", AMinFreq);
    profile.WriteFloat(SettingSection, "SignalThre", SignalThre);
}
