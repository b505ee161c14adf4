#pragma once

#include <string>

// The note name of a frequency above 50 Hz: "C", "C#/Db", ... "B".
const char* NoteName(double frequency);

// The cursor label of the spectrogram-type views. Rule A (modes 0, 1, 3):
// "%.1f[Hz] (%s)" for 50 < f < 10000, else "%.1f[Hz]". Rule B (mode 5):
// "%.1f[Hz] (%s)" for f > 50, else nothing.
std::string CursorLabelRuleA(double frequency);
std::string CursorLabelRuleB(double frequency);
