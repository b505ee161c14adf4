#pragma once

#include <xmmintrin.h>

#include <cmath>
#include <complex>
#include <cstddef>
#include <vector>

#include <kissfft.hh>

// The decimation-in-time butterflies of kissfft<float> (radix 4 while it
// divides, then 2), on packs of lanes that all run the same operations with
// the same twiddles: each lane's bins equal the scalar library's bit for
// bit. A Pack gives Add, Sub, Times (by a twiddle, as std::complex<float>
// multiplies: (ar wr - ai wi, ar wi + ai wr)) and MinusI (-i times, the
// negation exact for zeros too).
template <typename Pack>
class CButterflies {
public:
    explicit CButterflies(int N);

    // False when N has a factor other than 2: such sizes go lane by lane
    // through the scalar library.
    bool Vectorised() const { return vectorised; }
    // out[0..N) from in[0..N); in is read only.
    void Transform(Pack* out, const Pack* in) const { Transform(out, in, 0, 1); }

private:
    void Transform(Pack* out, const Pack* in, size_t stage, size_t stride) const;
    void Radix2(Pack* out, size_t stride, size_t m) const;
    void Radix4(Pack* out, size_t stride, size_t m) const;

    std::vector<std::complex<float>> twiddles;
    std::vector<size_t> stageRadix;
    std::vector<size_t> stageRemainder;
    bool vectorised = true;
};

// One lane at a time through kissfft<float>, for the sizes the butterflies
// do not cover: the plan and the lane's data.
struct ScalarLane {
    explicit ScalarLane(int N)
        : plan(static_cast<size_t>(N), false), in(static_cast<size_t>(N)), out(static_cast<size_t>(N))
    {
    }
    void Run() { plan.transform(in.data(), out.data()); }

    kissfft<float> plan;
    std::vector<std::complex<float>> in;
    std::vector<std::complex<float>> out;
};

// A twiddle broadcast to every lane.
struct Twiddle {
    explicit Twiddle(const std::complex<float>& w) : re(_mm_set1_ps(w.real())), im(_mm_set1_ps(w.imag())) {}
    __m128 re;
    __m128 im;
};

// The twiddles and the factorisation are those of kissfft<float>.
template <typename Pack>
CButterflies<Pack>::CButterflies(int N) : twiddles(static_cast<size_t>(N))
{
    const size_t count = static_cast<size_t>(N);
    const float phaseStep = -2 * std::acos(-1.0f) / count;
    for (size_t i = 0; i < count; ++i)
        twiddles[i] = std::exp(std::complex<float>(0, i * phaseStep));

    size_t remaining = count;
    size_t p = 4;
    do {
        while (remaining % p) {
            p = p == 4 ? 2 : p == 2 ? 3 : p + 2;
            if (p * p > remaining)
                p = remaining;
        }
        remaining /= p;
        stageRadix.push_back(p);
        stageRemainder.push_back(remaining);
        vectorised = vectorised && (p == 2 || p == 4);
    } while (remaining > 1);
}

// Stage by stage as the scalar library recurses.
template <typename Pack>
void CButterflies<Pack>::Transform(Pack* out, const Pack* in, size_t stage, size_t stride) const
{
    const size_t p = stageRadix[stage];
    const size_t m = stageRemainder[stage];
    if (m == 1) {
        for (size_t q = 0; q < p; ++q)
            out[q] = in[q * stride];
    } else {
        for (size_t q = 0; q < p; ++q)
            Transform(out + q * m, in + q * stride, stage + 1, stride * p);
    }
    if (p == 2)
        Radix2(out, stride, m);
    else
        Radix4(out, stride, m);
}

template <typename Pack>
void CButterflies<Pack>::Radix2(Pack* out, size_t stride, size_t m) const
{
    for (size_t k = 0; k < m; ++k) {
        const Pack t = Pack::Times(out[m + k], Twiddle(twiddles[k * stride]));
        out[m + k] = Pack::Sub(out[k], t);
        out[k] = Pack::Add(out[k], t);
    }
}

template <typename Pack>
void CButterflies<Pack>::Radix4(Pack* out, size_t stride, size_t m) const
{
    for (size_t k = 0; k < m; ++k) {
        const Pack s0 = Pack::Times(out[k + m], Twiddle(twiddles[k * stride]));
        const Pack s1 = Pack::Times(out[k + 2 * m], Twiddle(twiddles[k * stride * 2]));
        const Pack s2 = Pack::Times(out[k + 3 * m], Twiddle(twiddles[k * stride * 3]));
        const Pack s5 = Pack::Sub(out[k], s1);
        const Pack sum = Pack::Add(out[k], s1);
        const Pack s3 = Pack::Add(s0, s2);
        const Pack s4 = Pack::MinusI(Pack::Sub(s0, s2));
        out[k + 2 * m] = Pack::Sub(sum, s3);
        out[k] = Pack::Add(sum, s3);
        out[k + m] = Pack::Add(s5, s4);
        out[k + 3 * m] = Pack::Sub(s5, s4);
    }
}
