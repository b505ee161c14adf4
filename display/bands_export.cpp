#include "display/bands_export.h"

#include <charconv>

namespace {

// The level a band reads at or below this is nothing at all.
constexpr double Nothing = -200.0;

// Locale-independent, with `decimals` places.
void Append(std::string& out, double value, int decimals)
{
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
    out.append(text, result.ptr);
}

void AppendLevel(std::string& row, double dbfs, double offset)
{
    if (dbfs <= Nothing) {
        row += ",-inf";
        return;
    }
    row += ',';
    Append(row, dbfs + offset, 1);
}

// "1k" and "12.5k" as numbers of Hz.
std::string NominalHz(const std::string& nominal)
{
    if (nominal.empty() || nominal.back() != 'k')
        return nominal;
    double kilohertz = 0.0;
    std::from_chars(nominal.data(), nominal.data() + nominal.size() - 1, kilohertz);
    std::string hz;
    Append(hz, kilohertz * 1000.0, 0);
    return hz;
}

} // namespace

std::string BandsCsv(const BandsTable& table)
{
    const std::string unit = table.calibrated ? "_db_spl" : "_dbfs";
    const bool peaks = table.peaks && !table.peaks->empty();
    std::string csv = "# " + table.description + "\n";
    if (table.calibrated) {
        csv += "# calibration: ";
        Append(csv, table.offset, 2);
        csv += " dB SPL at 0 dBFS\n";
    }
    csv += "nominal_hz,midband_hz,level" + unit + (peaks ? ",peak" + unit : std::string()) + "\n";
    const double offset = table.calibrated ? table.offset : 0.0;
    for (size_t k = 0; k < table.bands->size() && k < table.levels->size(); ++k) {
        const FractionalOctaveBand& band = (*table.bands)[k];
        std::string row = NominalHz(band.nominal) + ",";
        Append(row, band.midband, 2);
        AppendLevel(row, (*table.levels)[k], offset);
        if (peaks && k < table.peaks->size())
            AppendLevel(row, (*table.peaks)[k], offset);
        csv += row + "\n";
    }
    return csv;
}
