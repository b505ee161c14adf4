#pragma once

// The starter settings file (resources/tavimeter.ini) as built into the
// program, for a first start where it is not installed beside it.
extern const char* const StarterSettingsText;

// Where the installed copy lies, relative to the folder above the
// executable's (PREFIX/bin/tavimeter reads PREFIX/share/tavimeter/...).
constexpr const char* InstalledStarterSettings = "share/tavimeter/tavimeter.ini";
