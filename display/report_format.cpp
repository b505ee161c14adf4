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

std::string Unit(const FileReport& r)
{
    return r.calibrated ? "_db_spl" : "_dbfs";
}

double Shift(const FileReport& r)
{
    return r.calibrated ? r.offset : 0.0;
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
    const std::string unit = Unit(r);
    const double shift = Shift(r);
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

std::string JsonArray(const std::vector<std::string>& items)
{
    std::string out = "[";
    for (size_t i = 0; i < items.size(); ++i)
        out += (i ? ", " : "") + items[i];
    return out + "]";
}

std::vector<std::string> Numbers(const std::vector<double>& values, double shift, const char* none)
{
    std::vector<std::string> out;
    for (const double v : values)
        out.push_back(Number(v + shift, none));
    return out;
}

// The numbers of an interval in the order they are written.
std::vector<Field> IntervalFields(const FileReport& r, const FileMeasurement::Interval& i)
{
    return {{"start_s", i.start},
            {"end_s", i.end},
            {"momentary_lufs", i.momentary},
            {"short_term_lufs", i.shortTerm},
            {"true_peak_left_dbtp", i.truePeak[0]},
            {"true_peak_right_dbtp", i.truePeak[1]},
            {"sample_peak_left_dbfs", i.samplePeak[0]},
            {"sample_peak_right_dbfs", i.samplePeak[1]},
            {"l" + std::string(Letter(r.measured.weighting)) + "eq" + Unit(r), i.eq + Shift(r)}};
}

// A field's number as written: the counts whole, the rest to 0.01.
std::string Written(const Field& f, const char* none)
{
    const bool count = f.name == "rate_hz" || f.name == "channels";
    return count ? std::to_string(static_cast<long>(f.value)) : Number(f.value, none);
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
        json += ", \"" + f.name + "\": " + Written(f, "null");
    }
    const FileMeasurement& m = r.measured;
    const std::string bandKey = "\"band_l" + std::string(Letter(m.weighting)) + "eq" + Unit(r) + "\": ";
    if (!m.bandMidband.empty()) {
        std::vector<std::string> nominal;
        for (const std::string& n : m.bandNominal)
            nominal.push_back(JsonString(n));
        json += ", \"band_nominal_hz\": " + JsonArray(nominal) + ", \"band_midband_hz\": " +
                JsonArray(Numbers(m.bandMidband, 0.0, "null")) + ", " + bandKey +
                JsonArray(Numbers(m.bandEq, Shift(r), "null"));
    }
    if (!m.intervals.empty()) {
        std::vector<std::string> objects;
        for (const FileMeasurement::Interval& i : m.intervals) {
            std::string object = "{";
            for (const Field& f : IntervalFields(r, i))
                object += (object.size() > 1 ? ", \"" : "\"") + f.name + "\": " + Number(f.value, "null");
            if (!i.bandEq.empty())
                object += ", " + bandKey + JsonArray(Numbers(i.bandEq, Shift(r), "null"));
            objects.push_back(object + "}");
        }
        json += ", \"intervals\": " + JsonArray(objects);
    }
    return json + "}\n";
}

std::string ReportCsv(const std::vector<FileReport>& reports, const CsvLayout& layout)
{
    FileReport shape;
    shape.measured.weighting = layout.weighting;
    shape.calibrated = layout.calibrated;
    const std::vector<Field> columns =
        layout.intervals ? IntervalFields(shape, FileMeasurement::Interval()) : Fields(shape);
    const std::vector<FractionalOctaveBand> bands =
        layout.bandsPerOctave > 0 ? FractionalOctaveBands(layout.bandsPerOctave) : std::vector<FractionalOctaveBand>();
    std::string csv = "file";
    for (const Field& f : columns)
        csv += "," + f.name;
    for (const FractionalOctaveBand& b : bands)
        csv += ",band_" + b.nominal + "_l" + Letter(layout.weighting) + "eq" + Unit(shape);
    csv += layout.intervals ? ",error\n" : ",notice,error\n";
    const auto row = [&](const FileReport& r, const std::vector<Field>& fields, const std::vector<double>& bandEq) {
        std::string line = CsvField(r.file);
        for (const Field& f : fields) {
            line += "," + Written(f, "");
        }
        for (size_t k = 0; k < bands.size(); ++k)
            line += "," + (k < bandEq.size() ? Number(bandEq[k] + Shift(r), "") : std::string());
        return line + (layout.intervals ? "," : "," + CsvField(r.measured.notice) + ",") + CsvField(r.measured.error) +
               "\n";
    };
    for (const FileReport& r : reports) {
        if (!r.measured.error.empty()) {
            csv += CsvField(r.file) + std::string(columns.size() + bands.size() + (layout.intervals ? 0 : 1), ',') + "," +
                   CsvField(r.measured.error) + "\n";
        } else if (layout.intervals) {
            for (const FileMeasurement::Interval& i : r.measured.intervals)
                csv += row(r, IntervalFields(r, i), i.bandEq);
        } else {
            csv += row(r, Fields(r), r.measured.bandEq);
        }
    }
    return csv;
}
