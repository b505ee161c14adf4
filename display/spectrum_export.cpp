#include "display/spectrum_export.h"

#include <charconv>
#include <initializer_list>
#include <cmath>

#include "dsp/frequency_axis.h"

namespace {

// Locale-independent, shortest text that reads back as the same double.
void Append(std::string& out, double value)
{
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value);
    out.append(text, result.ptr);
}

} // namespace

std::string SpectrumCsv(const SpectrumTraces& t)
{
    std::string csv;
    if (!t.description.empty())
        csv += "# " + t.description + "\n";
    csv += t.right ? "frequency_hz,left_db,right_db" : "frequency_hz,level_db";
    if (t.leftPeaks)
        csv += t.right ? ",left_peak_db,right_peak_db" : ",peak_db";
    csv += '\n';
    for (int k = 0; k < LinearBins; ++k) {
        Append(csv, k * 5.859375);
        for (const float* channel : {t.left, t.right, t.leftPeaks, t.right ? t.rightPeaks : nullptr}) {
            if (!channel)
                continue;
            csv += ',';
            Append(csv, 20 * std::log10(channel[k] + 1e-12));
        }
        csv += '\n';
    }
    return csv;
}

std::string SpectrumCsv(const float* left, const float* right)
{
    SpectrumTraces traces;
    traces.left = left;
    traces.right = right;
    return SpectrumCsv(traces);
}
