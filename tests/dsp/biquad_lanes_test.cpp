#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "dsp/biquad_lanes.h"
#include "dsp/iir_design.h"

namespace {

// Every way of running the lanes gives, lane for lane, exactly the energy
// of a loop over ProcessCascade: eleven cascades of three to five sections
// (two groups, one part full), fed in calls of uneven length, the second
// call's states carried over from the first.
TEST(BiquadLanes, EveryPathReadsAsTheCascadesOneByOne)
{
    std::vector<BiquadCascade> cascades;
    for (int k = 0; k < 10; ++k)
        cascades.push_back(ButterworthBandPass(k % 2 ? 5 : 4, 100.0 * (k + 1), 140.0 * (k + 1), 48000.0));
    cascades.push_back(ButterworthLowPass(6, 9600.0, 48000.0));
    std::mt19937 random(3);
    std::normal_distribution<double> noise(0.0, 0.3);
    std::vector<double> x(3001);
    for (double& v : x)
        v = noise(random);
    const int cuts[] = {0, 1000, 3001};

    std::vector<double> expected(cascades.size(), 0.0);
    std::vector<BiquadCascade> plain = cascades;
    for (size_t c = 0; c < plain.size(); ++c)
        for (int part = 0; part < 2; ++part) {
            double energy = 0.0;
            for (int i = cuts[part]; i < cuts[part + 1]; ++i) {
                const double y = ProcessCascade(plain[c], x[size_t(i)]);
                energy += y * y;
            }
            expected[c] += energy;
        }
    for (const BiquadLanesPath& path : BiquadLanesPaths()) {
        CBiquadLanes lanes(cascades);
        ASSERT_EQ(lanes.Lanes(), 11);
        std::vector<double> energy(cascades.size(), 0.0);
        for (int part = 0; part < 2; ++part)
            lanes.ProcessEnergy(x.data() + cuts[part], cuts[part + 1] - cuts[part], energy.data(), path.run);
        for (size_t c = 0; c < cascades.size(); ++c)
            EXPECT_EQ(energy[c], expected[c]) << path.name << " lane " << c;
    }
}

} // namespace
