#include "display/report_format.h"

#include <cmath>
#include <cstdio>

namespace {

const char* Letter(Weighting w)
{
    return w == Weighting::A ? "a" : w == Weighting::C ? "c" : "z";
}

// A JSON string: quotes, backslashes and control characters escaped; bytes
// that are not UTF-8 replaced by U+FFFD (a file's name may be any bytes).
std::string JsonString(const std::string& text)
{
    std::string out = "\"";
    for (size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        const int length = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        bool valid = length > 0 && i + static_cast<size_t>(length) <= text.size();
        for (int k = 1; valid && k < length; ++k)
            valid = (static_cast<unsigned char>(text[i + static_cast<size_t>(k)]) >> 6) == 2;
        if (!valid) {
            out += "\\ufffd";
            ++i;
            continue;
        }
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out.append(text, i, static_cast<size_t>(length));
        }
        i += static_cast<size_t>(length);
    }
    return out + "\"";
}

// A number as JSON or CSV write it, to 0.01; `none` where it is not finite.
std::string Number(double value, const char* none)
{
    if (!std::isfinite(value))
        return none;
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", value);
    return text;
}

struct Field {
    std::string name;  // with its unit
    double value;
};

// The numbers of a measured file in the order they are written.
std::vector<Field> Fields(const FileReport& r)
{
    const FileMeasurement& m = r.measured;
    const std::string x = Letter(m.weighting);
    const std::string unit = r.calibrated ? "_db_spl" : "_dbfs";
    const double shift = r.calibrated ? r.offset : 0.0;
    return {{"duration_s", m.seconds},
            {"rate_hz", static_cast<double>(m.rate)},
            {"channels", static_cast<double>(m.channels)},
            {"integrated_lufs", m.integrated},
            {"loudness_range_lu", m.range},
            {"max_momentary_lufs", m.maxMomentary},
            {"max_short_term_lufs", m.maxShortTerm},
            {"true_peak_left_dbtp", m.truePeak[0]},
            {"true_peak_right_dbtp", m.truePeak[1]},
            {"sample_peak_left_dbfs", m.samplePeak[0]},
            {"sample_peak_right_dbfs", m.samplePeak[1]},
            {"rms_left_dbfs", m.rms[0]},
            {"rms_right_dbfs", m.rms[1]},
            {"l" + x + "eq" + unit, m.eq + shift},
            {"l" + x + "fmax" + unit, m.fastMax + shift},
            {"lcpeak" + unit, m.cPeak + shift},
            {"l" + x + "10" + unit, m.l10 + shift},
            {"l" + x + "50" + unit, m.l50 + shift},
            {"l" + x + "90" + unit, m.l90 + shift}};
}

std::string CsvField(const std::string& text)
{
    if (text.find_first_of(",\"\r\n") == std::string::npos)
        return text;
    std::string out = "\"";
    for (const char c : text)
        out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

} // namespace

std::string ReportJson(const FileReport& r)
{
    std::string json = "{\"file\": " + JsonString(r.file);
    if (!r.measured.error.empty())
        return json + ", \"error\": " + JsonString(r.measured.error) + "}\n";
    if (!r.measured.notice.empty())
        json += ", \"notice\": " + JsonString(r.measured.notice);
    for (const Field& f : Fields(r)) {
        const bool whole = f.name == "rate_hz" || f.name == "channels";
        json += ", \"" + f.name + "\": " + (whole ? std::to_string(static_cast<long>(f.value)) : Number(f.value, "null"));
    }
    return json + "}\n";
}

std::string ReportCsvHeader(Weighting weighting, bool calibrated)
{
    FileReport shape;
    shape.measured.weighting = weighting;
    shape.calibrated = calibrated;
    std::string header = "file";
    for (const Field& f : Fields(shape))
        header += "," + f.name;
    return header + ",notice,error\n";
}

std::string ReportCsvRow(const FileReport& r)
{
    std::string row = CsvField(r.file);
    const bool failed = !r.measured.error.empty();
    for (const Field& f : Fields(r)) {
        const bool whole = f.name == "rate_hz" || f.name == "channels";
        row += "," + (failed ? std::string() : whole ? std::to_string(static_cast<long>(f.value)) : Number(f.value, ""));
    }
    return row + "," + CsvField(r.measured.notice) + "," + CsvField(r.measured.error) + "\n";
}
