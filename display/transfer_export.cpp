#include "display/transfer_export.h"

#include <cmath>
#include <cstdio>

std::string TransferCsv(const std::vector<TransferPoint>& curve, const std::vector<std::string>& comments)
{
    std::string text;
    for (const std::string& comment : comments)
        text += "* " + comment + "\n";
    text += "* frequency_hz,magnitude_db,phase_degrees,coherence\n";
    for (const TransferPoint& p : curve) {
        char row[96];
        if (std::isfinite(p.magnitudeDb))
            std::snprintf(row, sizeof row, "%.3f,%.3f,%.2f,%.4f\n", p.frequency, p.magnitudeDb, p.phaseDegrees,
                          p.coherence);
        else
            std::snprintf(row, sizeof row, "%.3f,-inf,0.00,0.0000\n", p.frequency);
        text += row;
    }
    return text;
}
