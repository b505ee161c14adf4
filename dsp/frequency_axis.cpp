#include "dsp/frequency_axis.h"

#include <cmath>
#include <vector>

#include "settings/shared_settings.h"

namespace {

constexpr double NoteTable[12] = {261.63, 277.18, 293.66, 311.13, 329.63, 349.23,
                                  370.0,  392.0,  415.3,  440.0,  466.16, 493.89};
constexpr int LastLinearBin = LinearBins - 1;
// Rows the cached resampler's axis is laid out for.
constexpr int DisplayRows = 2048;

} // namespace

int ClampedIndex(double value, int lo, int hi)
{
    if (!(value > lo))
        return lo;
    if (value > hi)
        return hi;
    return static_cast<int>(value);
}

namespace {

// One log-axis point: the mean over the bins it spans, or the interpolated
// value between its two neighbouring bins; `prev` is the previous point's bin.
float ResamplePoint(const float* src, double f, int& prev)
{
    double pos = f * BinsPerHz;
    if (!(pos > 0))
        pos = 0;
    if (pos > LastLinearBin)
        pos = LastLinearBin;
    const int idx = static_cast<int>(pos);

    double v;
    if (prev + 1 < idx) {
        double sum = 0.0;
        for (int j = prev; j <= idx; ++j)
            sum += src[j];
        v = sum / (pos - prev + 1);
    } else {
        // At the clamp idx is the last bin and the weight of its upper
        // neighbour is 0: read only bins that exist.
        const int upper = idx < LastLinearBin ? idx + 1 : idx;
        v = Interpolate(src[idx], src[upper], pos - idx);
    }
    if (SharedSettings.HighEmphasis && f > 60.0)
        v = v * (f * 0.0019230769230769232 + 1.0);
    prev = idx;
    return static_cast<float>(v);
}

struct PointTable {
    float fmin = 0.0f;
    float fmax = 0.0f;
    int count = 0;
    float lo = 0.0f;
    float step = 0.0f;
    std::vector<float> frequencies;
};

struct RowTable {
    double fmin = 0.0;
    double fmax = 0.0;
    int count = 0;
    double lo = 0.0;
    double step = 0.0;
    int start = 0;
    int end = 0;
    std::vector<double> positions;
};

PointTable& CachedPoints()
{
    thread_local PointTable table;
    return table;
}

RowTable& CachedRows()
{
    thread_local RowTable table;
    return table;
}

void BuildRowTable(RowTable& t, int count, float fmin, float fmax)
{
    t.fmin = fmin;
    t.fmax = fmax;
    t.count = count;
    t.lo = Log2(fmin);
    t.step = (Log2(fmax) - t.lo) / count;
    const double inverseStep = 1.0 / t.step;
    t.start = ClampedIndex((Log2(noteFrequency(24)) - t.lo) * inverseStep, -FarOffAxis, FarOffAxis);
    t.end = ClampedIndex((Log2(noteFrequency(110)) - t.lo) * inverseStep, -FarOffAxis, FarOffAxis);
    t.positions.assign(static_cast<size_t>(count > DisplayRows ? count : DisplayRows), 0.0);
    const int span = t.end - t.start + 1;
    for (int r = t.start, n = 0; r <= t.end; ++r, ++n) {
        if (r >= 0 && r < count)
            t.positions[r] = Interpolate(0.0, 172.0, static_cast<double>(n) / span);
    }
}

} // namespace

double noteFrequency(int note)
{
    const int q = note / 12;
    double v = NoteTable[note % 12];
    for (int i = q; i > 5; --i)
        v *= 2.0;
    for (int i = q; i < 5; ++i)
        v *= 0.5;
    return v;
}

double Log2(double x)
{
    return std::log(x) / std::log(2.0);
}

// The point frequencies of LogResample, kept while the axis stays the same:
// the same values it would compute afresh.
static const std::vector<double>& AxisFrequencies(int count, float fmin, float fmax)
{
    thread_local std::vector<double> frequencies;
    thread_local int cachedCount = -1;
    thread_local float cachedMin = 0.0f, cachedMax = 0.0f;
    if (count != cachedCount || fmin != cachedMin || fmax != cachedMax) {
        const double lo = Log2(fmin);
        const double step = (Log2(fmax) - lo) / count;
        frequencies.resize(static_cast<size_t>(count > 0 ? count : 0));
        for (int i = 0; i < count; ++i)
            frequencies[i] = std::pow(2.0, i * step + lo);
        cachedCount = count;
        cachedMin = fmin;
        cachedMax = fmax;
    }
    return frequencies;
}

void LogResample(const float* src, float* dst, int count, float fmin, float fmax)
{
    const std::vector<double>& frequencies = AxisFrequencies(count, fmin, fmax);
    int prev = 99999;
    for (int i = 0; i < count; ++i)
        dst[i] = ResamplePoint(src, frequencies[i], prev);
}

void LogResampleTable(const float* src, float* dst, int count, float fmin, float fmax)
{
    PointTable& t = CachedPoints();
    if (t.fmin != fmin || t.fmax != fmax || t.count != count) {
        t.fmin = fmin;
        t.fmax = fmax;
        t.count = count;
        t.lo = static_cast<float>(Log2(fmin));
        t.step = static_cast<float>((Log2(fmax) - t.lo) / DisplayRows);
        t.frequencies.resize(static_cast<size_t>(count));
        for (int i = 0; i < count; ++i)
            t.frequencies[i] = static_cast<float>(std::pow(2.0, i * static_cast<double>(t.step) + t.lo));
    }
    int prev = 99999;
    for (int i = 0; i < count; ++i)
        dst[i] = ResamplePoint(src, t.frequencies[i], prev);
}

void CQToRows(const float* cq, float* rows, int count, float fmin, float fmax)
{
    RowTable& t = CachedRows();
    if (t.fmin != fmin || t.fmax != fmax || t.count != count)
        BuildRowTable(t, count, fmin, fmax);

    for (int r = 0; r < count; ++r)
        rows[r] = 0.0f;
    for (int r = t.start; r <= t.end && r < count; ++r) {
        if (r < 0)
            continue;
        double p = t.positions[r];
        if (!(p > 0.0))
            p = 0.0;
        if (p > 171.0)
            p = 171.0;
        const int k = static_cast<int>(p);
        rows[r] = static_cast<float>(Interpolate(cq[k], cq[k + 1], p - k) * 0.12);
    }
}
