#include "analysis/transfer_curve.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <limits>

namespace {

constexpr double RadiansToDegrees = 57.2957795130823209;

// Running sums of the averaged spectra over the bins, so that a sum over
// any range of bins is one subtraction.
struct SpectraSums {
    std::vector<double> xx, yy;
    std::vector<std::complex<double>> xy;

    explicit SpectraSums(const CTransferFunction& t)
        : xx(CTransferFunction::Bins + 1), yy(CTransferFunction::Bins + 1), xy(CTransferFunction::Bins + 1)
    {
        for (int k = 0; k < CTransferFunction::Bins; ++k) {
            const size_t i = static_cast<size_t>(k);
            xx[i + 1] = xx[i] + t.Gxx(k);
            yy[i + 1] = yy[i] + t.Gyy(k);
            xy[i + 1] = xy[i] + t.Gxy(k);
        }
    }
};

TransferPoint PointOf(double frequency, double gxx, double gyy, std::complex<double> gxy)
{
    TransferPoint point;
    point.frequency = frequency;
    if (gxx <= 0.0) {
        point.magnitudeDb = -std::numeric_limits<double>::infinity();
        return point;
    }
    const std::complex<double> h = gxy / gxx;
    point.magnitudeDb = 10.0 * std::log10(std::norm(h));
    point.phaseDegrees = std::arg(h) * RadiansToDegrees;
    point.coherence = gyy > 0.0 ? std::min(1.0, std::norm(gxy) / (gxx * gyy)) : 0.0;
    return point;
}

} // namespace

std::vector<TransferPoint> TransferCurve(const CTransferFunction& transfer, int smoothing, double low, double high)
{
    std::vector<TransferPoint> points;
    if (transfer.Averages() == 0)
        return points;
    const SpectraSums sums(transfer);
    const double binWidth = transfer.SampleRate() / CTransferFunction::Size;
    const double halfWidth = smoothing > 0 ? std::pow(2.0, 0.5 / smoothing) : 1.0;
    const int first = std::max(1, static_cast<int>(std::ceil(low / binWidth)));
    const int last = std::min(CTransferFunction::Bins - 1, static_cast<int>(std::floor(high / binWidth)));
    for (int k = first; k <= last; ++k) {
        const double f = k * binWidth;
        const int from = std::clamp(static_cast<int>(std::ceil(f / halfWidth / binWidth)), 1, k);
        const int to = std::clamp(static_cast<int>(std::floor(f * halfWidth / binWidth)), k, CTransferFunction::Bins - 1);
        const size_t a = static_cast<size_t>(from), b = static_cast<size_t>(to + 1);
        points.push_back(PointOf(f, sums.xx[b] - sums.xx[a], sums.yy[b] - sums.yy[a], sums.xy[b] - sums.xy[a]));
    }
    return points;
}

std::vector<double> ImpulseResponse(const CTransferFunction& transfer)
{
    constexpr int Size = CTransferFunction::Size;
    std::vector<double> response;
    if (transfer.Averages() == 0)
        return response;
    std::vector<std::complex<double>> h(static_cast<size_t>(Size)), impulse(static_cast<size_t>(Size));
    for (int k = 0; k < CTransferFunction::Bins; ++k) {
        const double gxx = transfer.Gxx(k);
        const std::complex<double> value = gxx > 0.0 ? transfer.Gxy(k) / gxx : 0.0;
        h[static_cast<size_t>(k)] = value;
        if (k > 0 && k < Size / 2)
            h[static_cast<size_t>(Size - k)] = std::conj(value);
    }
    kissfft<double>(Size, true).transform(h.data(), impulse.data());
    response.resize(static_cast<size_t>(Size));
    for (size_t n = 0; n < response.size(); ++n)
        response[n] = impulse[n].real() / Size;
    return response;
}
