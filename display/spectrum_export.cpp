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

std::string SpectrumCsv(const float* left, const float* right)
{
    std::string csv = right ? "frequency_hz,left_db,right_db\n" : "frequency_hz,level_db\n";
    for (int k = 0; k < LinearBins; ++k) {
        Append(csv, k * 5.859375);
        for (const float* channel : {left, right}) {
            if (!channel)
                continue;
            csv += ',';
            Append(csv, 20 * std::log10(channel[k] + 1e-12));
        }
        csv += '\n';
    }
    return csv;
}
