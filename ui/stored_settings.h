#pragma once

class CProfile;

// The INI section of the settings panel and its pages.
constexpr const char* SettingSection = "SettingWindow";

// A float setting as stored; a value that is not a finite number (which the
// program never writes) reads as a missing one, 0.
float ReadStoredFloat(CProfile& profile, const char* key);
