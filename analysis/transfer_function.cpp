#include "analysis/transfer_function.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double TwoPi = 6.28318530717958647;

} // namespace

CTransferFunction::CTransferFunction(double sampleRate)
    : rate(sampleRate), Capacity(Size + Hop + static_cast<int>(std::ceil(MaxDelaySeconds * sampleRate))),
      reference(static_cast<size_t>(Capacity)), measurement(static_cast<size_t>(Capacity)),
      window(static_cast<size_t>(Size)), in(static_cast<size_t>(Size)), out(static_cast<size_t>(Size)),
      segmentSpectra(4 * static_cast<size_t>(Bins))
{
    // The periodic Hann window: overlapped by half, its copies add to a
    // constant.
    for (int n = 0; n < Size; ++n)
        window[static_cast<size_t>(n)] = 0.5 * (1.0 - std::cos(TwoPi * n / Size));
    average.Configure(averagingSeconds, Hop / rate);
}

void CTransferFunction::SetAveraging(double seconds)
{
    if (seconds == averagingSeconds)
        return;
    averagingSeconds = seconds;
    average.Configure(seconds, Hop / rate);
}

void CTransferFunction::SetDelay(double samples)
{
    const double limit = MaxDelaySeconds * rate;
    delay = std::clamp(samples, -limit, limit);
    nextEnd = std::max(nextEnd, Size + std::max(0L, WholeDelay()));
    Reset();
}

void CTransferFunction::Reset()
{
    average.Reset();
}

void CTransferFunction::Process(const float* x, const float* y, int count)
{
    for (int done = 0; done < count;) {
        // No more at a time than the history holds beyond what the next
        // segments need.
        const int n = std::min(Hop, count - done);
        for (int i = 0; i < n; ++i) {
            const size_t at = static_cast<size_t>((received + i) % Capacity);
            reference[at] = x[done + i];
            measurement[at] = y[done + i];
        }
        received += n;
        done += n;
        const long whole = WholeDelay();
        while (nextEnd <= received && nextEnd - whole <= received) {
            if (nextEnd - Size - std::max(0L, whole) >= received - Capacity)
                TakeSegment(nextEnd);
            nextEnd += Hop;
        }
    }
}

// One segment of each signal, the reference's `WholeDelay` earlier, both
// through one complex transform (x real, y imaginary).
void CTransferFunction::TakeSegment(long end)
{
    const long yStart = end - Size, xStart = yStart - WholeDelay();
    for (int n = 0; n < Size; ++n) {
        const double w = window[static_cast<size_t>(n)];
        in[static_cast<size_t>(n)] = {w * ReferenceAt(xStart + n), w * MeasurementAt(yStart + n)};
    }
    fft.transform(in.data(), out.data());
    for (int k = 0; k < Bins; ++k) {
        const std::complex<double> z = out[static_cast<size_t>(k)];
        const std::complex<double> zMirror = std::conj(out[static_cast<size_t>((Size - k) % Size)]);
        const std::complex<double> xk = (z + zMirror) / 2.0;
        const std::complex<double> yk = (z - zMirror) / std::complex<double>(0.0, 2.0);
        const std::complex<double> cross = std::conj(xk) * yk;
        segmentSpectra[static_cast<size_t>(k)] = std::norm(xk);
        segmentSpectra[static_cast<size_t>(Bins + k)] = std::norm(yk);
        segmentSpectra[static_cast<size_t>(2 * Bins + k)] = cross.real();
        segmentSpectra[static_cast<size_t>(3 * Bins + k)] = cross.imag();
    }
    average.Add(segmentSpectra.data(), 4 * Bins);
}

double CTransferFunction::Gxx(int k) const
{
    return average.Blocks() ? average.Power()[static_cast<size_t>(k)] : 0.0;
}

double CTransferFunction::Gyy(int k) const
{
    return average.Blocks() ? average.Power()[static_cast<size_t>(Bins + k)] : 0.0;
}

// The fraction of the delay left after the whole samples: y lags x by it,
// which turns the cross-spectrum by e^(-i 2 pi k fraction / Size); turned
// back here.
std::complex<double> CTransferFunction::Gxy(int k) const
{
    if (!average.Blocks())
        return 0.0;
    const std::vector<double>& p = average.Power();
    const std::complex<double> cross(p[static_cast<size_t>(2 * Bins + k)], p[static_cast<size_t>(3 * Bins + k)]);
    const double fraction = delay - static_cast<double>(WholeDelay());
    return fraction == 0.0 ? cross : cross * std::polar(1.0, TwoPi * k * fraction / Size);
}
