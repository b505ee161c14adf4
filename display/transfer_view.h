#pragma once

#include <string>
#include <vector>

#include "analysis/transfer_curve.h"
#include "analysis/transfer_measurement.h"
#include "display/bitmap.h"
#include "display/drawing_context.h"
#include "display/surface_change.h"

// The transfer view (ours): a measured system's magnitude (dB), phase
// (-180 to 180 degrees) and coherence (0 to 1) in three plots one above
// the other on one logarithmic frequency axis from 20 Hz to 20 kHz, and
// below them its impulse response from 5 ms before the compensated delay
// to 95 ms after it, scaled to its largest magnitude (the arrival and the
// reflections). Points whose coherence is below the threshold are drawn
// faint. The magnitude's scale spans 60 dB around the curve's median, in
// steps of 10 dB. A legend at the top says what is measured.
class CTransferView {
public:
    static constexpr double LowHz = 20.0, HighHz = 20000.0;
    static constexpr double ImpulseFromMs = -5.0, ImpulseToMs = 95.0;

    // Draws the whole of `rc`; `impulse` (time 0 first, the end before it,
    // at `rate` Hz) may be empty; the legend's lines are split at '\n'.
    SurfaceChange Draw(CDC* dc, const RECT& rc, const std::vector<TransferPoint>& curve,
                       const std::vector<double>& impulse, double rate, const std::string& legend,
                       double coherenceThreshold);
    // The frequency at column x of a view `width` wide, or 0 outside the plots.
    static double FrequencyAt(int x, int width);
    // "1.00 kHz: +6.0 dB, 12°, coherence 0.99" at the point nearest column x,
    // or "" for none.
    static std::string Readout(int x, int width, const std::vector<TransferPoint>& curve);
    // "Reference: left input, measurement: right input, 1/12 octave,
    // average 1 s, 23 segments", then on a line of its own "delay 10.00 ms
    // (3.43 m at 343 m/s, 20 °C), faint below coherence 0.5".
    static std::string Legend(const CTransferMeasurement& measurement, int smoothing, double coherenceThreshold);
    // The delay in ms and the distance sound travels in it, as the legend
    // says it.
    static std::string DelayText(double milliseconds);
};
