#include "dsp/approximate_log.h"

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

// x = 2^e m with m in [sqrt(1/2), sqrt(2)); ln m = 2 atanh t with
// t = (m - 1) / (m + 1), |t| < 0.1716, from its series up to t^15: the
// terms left out add up to less than 2e-14, and the rounding of e ln 2
// (|e| < 1075) to less than 1e-13.
double ApproximateLn(double x)
{
    if (!(x >= DBL_MIN && x <= DBL_MAX))
        return std::numeric_limits<double>::quiet_NaN();
    uint64_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    int exponent = static_cast<int>(bits >> 52) - 1023;
    bits = (bits & 0x000FFFFFFFFFFFFFull) | 0x3FF0000000000000ull;
    double m;
    std::memcpy(&m, &bits, sizeof m);
    if (m > 1.4142135623730951) {
        m *= 0.5;
        ++exponent;
    }
    const double t = (m - 1.0) / (m + 1.0);
    const double t2 = t * t;
    const double series =
        2.0 + t2 * (2.0 / 3 + t2 * (2.0 / 5 + t2 * (2.0 / 7 + t2 * (2.0 / 9 + t2 * (2.0 / 11 + t2 * (2.0 / 13 +
                                                                                         t2 * (2.0 / 15)))))));
    return exponent * 0.69314718055994531 + t * series;
}

bool TruncatesAlike(double value, double margin)
{
    return std::isfinite(value) && std::trunc(value - margin) == std::trunc(value + margin);
}
