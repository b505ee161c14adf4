#pragma once

// Moves data between the grids of the analyser: the 4096-bin linear spectrum
// (bin k at k * 24000 / 4096 Hz), logarithmic display axes and the 173-bin
// constant-Q frame.

constexpr int LinearBins = 4096;
constexpr int ConstantQBins = 173;
// Fractional linear-bin position per Hz: 4096 / 24000.
constexpr double BinsPerHz = 0.17066666666666666;

// `value` truncated towards zero, as a conversion to int does, after it is
// clamped to lo .. hi (NaN gives lo): a row or bin worked out from any
// setting stays inside what it addresses, and within lo .. hi the result is
// the plain conversion's.
int ClampedIndex(double value, int lo, int hi);
// Rows or columns this far from an axis lie beyond any surface: a bound for
// positions that may fall outside one yet must stay safe to loop over.
constexpr int FarOffAxis = 1 << 20;

// (1 - t) * a + t * b, unclamped. Inline: the views call it per pixel.
inline double Interpolate(double a, double b, double t)
{
    return (1.0 - t) * a + t * b;
}

// Frequency of a MIDI note from the fixed table of the octave 60..71.
double noteFrequency(int note);

// log2 as ln(x) / ln(2), the form every axis uses.
double Log2(double x);

// A 4096-bin linear spectrum onto `count` log-spaced points from fmin to fmax.
void LogResample(const float* src, float* dst, int count, float fmin, float fmax);

// The same, with the point frequencies kept in a table between calls.
void LogResampleTable(const float* src, float* dst, int count, float fmin, float fmax);

// A 173-bin constant-Q frame onto `count` display rows from fmin to fmax.
void CQToRows(const float* cq, float* rows, int count, float fmin, float fmax);
