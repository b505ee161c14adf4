#pragma once

#include <vector>

// Window function indices, in the order of the settings panel's list.
enum WindowTypeIndex : unsigned {
    WindowRectangle = 0,
    WindowHann,
    WindowHamming,
    WindowGauss,
    WindowBlackman,
    WindowBlackmanHarris,
    WindowFlattop,
    WindowVorbis,
    WindowSine,
    WindowTriangle,
    WindowTypeCount
};

extern const char* const WindowTypeNames[WindowTypeCount];

// Multiplies values[0..count) in place by the periodic window `type` of
// length count. Types outside 1..9 leave the values unchanged.
void ApplyWindow(float* values, int count, unsigned type);

// The same window with its factors computed once: applying it gives results
// identical to ApplyWindow for the same count and type.
class CWindowTable {
public:
    void Apply(float* values, int count, unsigned type);

private:
    int tableCount = 0;
    unsigned tableType = 0;
    std::vector<double> factors;
};
