#include "analysis/band_energy.h"

#include <cmath>

std::vector<double> BandCorrections(const CFractionalOctaveBank& bank, const CFrequencyWeighting& filter,
                                    Weighting weighting, const std::function<double(double)>& gainDb)
{
    std::vector<double> correction;
    for (const FractionalOctaveBand& band : bank.Bands()) {
        const double ratio = WeightingGain(weighting, band.midband) / filter.Magnitude(band.midband);
        const double microphoneGain = gainDb ? std::pow(10.0, gainDb(band.midband) / 10.0) : 1.0;
        correction.push_back(ratio * ratio * microphoneGain);
    }
    return correction;
}

CBandEnergy::CBandEnergy(int bandsPerOctave, Weighting weighting, double rate,
                         const std::function<double(double)>& gainDb)
{
    filter.Init(weighting, rate);
    bank.Init(bandsPerOctave, rate);
    correction = BandCorrections(bank, filter, weighting, gainDb);
}

void CBandEnergy::Add(const double* samples, int count)
{
    waiting.insert(waiting.end(), samples, samples + count);
    const size_t multiple = static_cast<size_t>(bank.BlockMultiple());
    const size_t ready = waiting.size() / multiple * multiple;
    if (ready == 0)
        return;
    filter.Process(waiting.data(), static_cast<int>(ready));
    bank.Process(waiting.data(), static_cast<int>(ready));
    waiting.erase(waiting.begin(), waiting.begin() + static_cast<long>(ready));
}

std::vector<double> CBandEnergy::TakeMeanSquares()
{
    std::vector<double> meanSquares;
    bank.TakeMeanSquares(meanSquares);
    for (size_t k = 0; k < meanSquares.size(); ++k)
        meanSquares[k] *= correction[k];
    return meanSquares;
}
