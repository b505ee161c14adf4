#include "dsp/correction_filter.h"

#include <cmath>

CCorrectionFilter::CCorrectionFilter(const std::function<double(double)>& gainDb, double sampleRate)
    : rate(sampleRate), taps(Taps), spectrum(Size), gathered(Chunk, 0.0), ready(Chunk, 0.0),
      overlap(Size - Chunk, 0.0), in(Size), out(Size)
{
    // Zero-phase gains on a grid of Size / 2 points (bins 0 .. Size / 4 are
    // 0 Hz .. Nyquist), inverse-transformed into a symmetric impulse.
    constexpr int Design = Size / 2;
    kissfft<double> design(Design, true);
    std::vector<std::complex<double>> gains(Design), impulse(Design);
    for (int k = 0; k <= Design / 2; ++k) {
        const double g = std::pow(10.0, gainDb(k * rate / Design) / 20.0);
        gains[static_cast<size_t>(k)] = g;
        if (k > 0 && k < Design / 2)
            gains[static_cast<size_t>(Design - k)] = g;
    }
    design.transform(gains.data(), impulse.data());
    const int centre = (Taps - 1) / 2;
    for (int n = 0; n < Taps; ++n) {
        const int lag = n - centre;
        const double h = impulse[static_cast<size_t>((lag % Design + Design) % Design)].real() / Design;
        const double window = 0.5 * (1.0 - std::cos(6.28318530717958647 * (n + 1) / (Taps + 1)));
        taps[static_cast<size_t>(n)] = h * window;
    }
    std::vector<std::complex<double>> padded(Size);
    for (int n = 0; n < Taps; ++n)
        padded[static_cast<size_t>(n)] = taps[static_cast<size_t>(n)];
    forward.transform(padded.data(), spectrum.data());
}

void CCorrectionFilter::Reset()
{
    std::fill(gathered.begin(), gathered.end(), 0.0);
    std::fill(ready.begin(), ready.end(), 0.0);
    std::fill(overlap.begin(), overlap.end(), 0.0);
    position = 0;
}

void CCorrectionFilter::Process(double* samples, int count)
{
    for (int i = 0; i < count; ++i) {
        gathered[static_cast<size_t>(position)] = samples[i];
        samples[i] = ready[static_cast<size_t>(position)];
        if (++position == Chunk) {
            Convolve();
            position = 0;
        }
    }
}

void CCorrectionFilter::Convolve()
{
    for (int n = 0; n < Size; ++n)
        in[static_cast<size_t>(n)] = n < Chunk ? gathered[static_cast<size_t>(n)] : 0.0;
    forward.transform(in.data(), out.data());
    for (int k = 0; k < Size; ++k)
        out[static_cast<size_t>(k)] *= spectrum[static_cast<size_t>(k)];
    inverse.transform(out.data(), in.data());
    // The first Chunk outputs, with the last convolution's tail added; the
    // rest is the next one's tail (Taps - 1 samples fit in Size - Chunk).
    for (int n = 0; n < Size; ++n) {
        const double y = in[static_cast<size_t>(n)].real() / Size;
        if (n < Chunk)
            ready[static_cast<size_t>(n)] = y + (n < Size - Chunk ? overlap[static_cast<size_t>(n)] : 0.0);
        else
            overlap[static_cast<size_t>(n - Chunk)] = y;
    }
}

double CCorrectionFilter::MagnitudeDb(double frequency) const
{
    std::complex<double> sum = 0.0;
    for (int n = 0; n < Taps; ++n)
        sum += taps[static_cast<size_t>(n)] * std::polar(1.0, -6.28318530717958647 * frequency / rate * n);
    return 20.0 * std::log10(std::abs(sum));
}
