#include "display/spectrum_export.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <vector>

#include "dsp/frequency_axis.h"
#include "dsp/window_functions.h"

namespace {

// Locale-independent, shortest text that reads back as the same double.
void Append(std::string& out, double value)
{
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value);
    out.append(text, result.ptr);
}

std::string References(const SpectrumTraces& t, double toDbfs)
{
    const unsigned type = t.windowType < WindowTypeCount ? t.windowType : 0;
    char text[512];
    std::snprintf(text, sizeof text,
                  "# _db: 20 log10 of the grid magnitude (unnormalised transform of %d samples scaled to +-1, %s "
                  "window, times sqrt(8192/%d)), which the 1-D view draws relative to the largest it has shown; "
                  "_dbfs = _db %+.3f, relative to full scale: a sine centred on its bin reads its own level, a "
                  "full-scale sine 0.0 (AES17)\n",
                  t.windowSize, WindowTypeNames[type], t.windowSize, toDbfs);
    return text;
}

} // namespace

double GridToDbfs(int windowSize, unsigned windowType)
{
    std::vector<float> window(static_cast<size_t>(windowSize), 1.0f);
    ApplyWindow(window.data(), windowSize, windowType);
    double sum = 0.0;
    for (const float w : window)
        sum += w;
    const double gain = windowSize < 8192 ? std::sqrt(8192.0 / windowSize) : 1.0;
    return 20.0 * std::log10(2.0 / (gain * sum));
}

std::string SpectrumCsv(const SpectrumTraces& t)
{
    const double toDbfs = GridToDbfs(t.windowSize, t.windowType);
    std::string csv;
    if (!t.description.empty())
        csv += "# " + t.description + "\n";
    csv += References(t, toDbfs);
    if (t.calibrated) {
        csv += "# _db_spl = _dbfs + ";
        Append(csv, t.offset);
        csv += ", the input's calibration (dB SPL at 0 dBFS)\n";
    }
    // Column names in the order of the columns below.
    std::vector<std::string> names{t.right ? "left" : "level"};
    if (t.right)
        names.push_back("right");
    if (t.leftPeaks)
        names.push_back(t.right ? "left_peak" : "peak");
    if (t.leftPeaks && t.right)
        names.push_back("right_peak");
    csv += "frequency_hz";
    for (const char* unit : {"_db", "_dbfs", "_db_spl"})
        for (const std::string& name : names)
            if (t.calibrated || std::string(unit) != "_db_spl")
                csv += "," + name + unit;
    csv += '\n';
    const float* const columns[] = {t.left, t.right, t.leftPeaks, t.right ? t.rightPeaks : nullptr};
    for (int k = 0; k < LinearBins; ++k) {
        Append(csv, k * 5.859375);
        const double offsets[] = {0.0, toDbfs, toDbfs + t.offset};
        for (int unit = 0; unit < (t.calibrated ? 3 : 2); ++unit)
            for (const float* channel : columns) {
                const double offset = offsets[unit];
                if (!channel)
                    continue;
                csv += ',';
                Append(csv, 20 * std::log10(channel[k] + 1e-12) + offset);
            }
        csv += '\n';
    }
    return csv;
}
