#include "dsp/biquad_lanes.h"

#include <algorithm>

namespace {

using Sections = CBiquadLanes::Sections;
constexpr int Width = CBiquadLanes::Width;

// The lanes' loop, written so that the compiler turns each inner loop over
// the lanes into vector instructions of the width its target allows. The
// expressions are CBiquad::Process's, term for term. `energy` holds Width
// sums per group.
__attribute__((always_inline)) inline void RunLanes(Sections* sections, int groups, int length, const double* x,
                                                     int n, double* energy)
{
    for (int i = 0; i < n; ++i) {
        for (int g = 0; g < groups; ++g) {
            double v[Width];
            for (int l = 0; l < Width; ++l)
                v[l] = x[i];
            for (int k = 0; k < length; ++k) {
                Sections& s = sections[g * length + k];
                for (int l = 0; l < Width; ++l) {
                    const double y = s.b0[l] * v[l] + s.s1[l];
                    s.s1[l] = s.b1[l] * v[l] - s.a1[l] * y + s.s2[l];
                    s.s2[l] = s.b2[l] * v[l] - s.a2[l] * y;
                    v[l] = y;
                }
            }
            double* sum = energy + g * Width;
            for (int l = 0; l < Width; ++l)
                sum[l] += v[l] * v[l];
        }
    }
}

void LanesPlain(Sections* sections, int groups, int length, const double* x, int n, double* energy)
{
    RunLanes(sections, groups, length, x, n, energy);
}

#if defined(__x86_64__)
// No fused multiply-add: its single rounding would change the numbers.
__attribute__((target("avx2"))) void LanesAvx2(Sections* sections, int groups, int length, const double* x, int n,
                                               double* energy)
{
    RunLanes(sections, groups, length, x, n, energy);
}

__attribute__((target("avx512f,avx2"))) void LanesAvx512(Sections* sections, int groups, int length,
                                                         const double* x, int n, double* energy)
{
    RunLanes(sections, groups, length, x, n, energy);
}
#endif

CBiquadLanes::Function Chosen()
{
    static const CBiquadLanes::Function chosen = BiquadLanesPaths().back().run;
    return chosen;
}

} // namespace

std::vector<BiquadLanesPath> BiquadLanesPaths()
{
    std::vector<BiquadLanesPath> paths{{"plain", LanesPlain}};
#if defined(__x86_64__)
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx2")) {
        paths.push_back({"avx2", LanesAvx2});
        if (__builtin_cpu_supports("avx512f"))
            paths.push_back({"avx512", LanesAvx512});
    }
#endif
    return paths;
}

CBiquadLanes::CBiquadLanes(const std::vector<BiquadCascade>& cascades) : lanes(static_cast<int>(cascades.size()))
{
    for (const BiquadCascade& cascade : cascades)
        length = std::max(length, static_cast<int>(cascade.size()));
    const int groups = (lanes + Width - 1) / Width;
    sections.resize(static_cast<size_t>(groups * length));
    for (int g = 0; g < groups; ++g)
        for (int k = 0; k < length; ++k) {
            Sections& s = sections[static_cast<size_t>(g * length + k)];
            for (int l = 0; l < Width; ++l) {
                // Past a cascade's end (and in unused lanes): y = x, states 0.
                const size_t lane = static_cast<size_t>(g * Width + l);
                CBiquad section;
                if (lane < cascades.size() && static_cast<size_t>(k) < cascades[lane].size())
                    section = cascades[lane][static_cast<size_t>(k)];
                s.b0[l] = section.b0;
                s.b1[l] = section.b1;
                s.b2[l] = section.b2;
                s.a1[l] = section.a1;
                s.a2[l] = section.a2;
                s.s1[l] = section.s1;
                s.s2[l] = section.s2;
            }
        }
}

void CBiquadLanes::ProcessEnergy(const double* x, int count, double* energy, Function run)
{
    const int groups = (lanes + Width - 1) / Width;
    sums.assign(static_cast<size_t>(groups * Width), 0.0);
    (run ? run : Chosen())(sections.data(), groups, length, x, count, sums.data());
    for (int l = 0; l < lanes; ++l)
        energy[l] += sums[static_cast<size_t>(l)];
}

void CBiquadLanes::Reset()
{
    for (Sections& s : sections) {
        std::fill(std::begin(s.s1), std::end(s.s1), 0.0);
        std::fill(std::begin(s.s2), std::end(s.s2), 0.0);
    }
}
