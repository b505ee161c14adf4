#include "ui/stored_settings.h"

#include <cmath>

#include "app/profile.h"

float ReadStoredFloat(CProfile& profile, const char* key)
{
    const float value = static_cast<float>(profile.ReadFloat(SettingSection, key));
    return std::isfinite(value) ? value : 0.0f;
}
