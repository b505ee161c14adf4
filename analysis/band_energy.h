#pragma once

#include <functional>
#include <vector>

#include "dsp/fractional_octave_bands.h"
#include "dsp/frequency_weighting.h"

// The gain in power of each band that makes the weighting filter's band
// read as the standard's weighting at its midband (above 8 kHz the
// filter falls short of the formula), with a microphone's correction
// (`gainDb(f)` dB added at f Hz; empty for none).
std::vector<double> BandCorrections(const CFractionalOctaveBank& bank, const CFrequencyWeighting& filter,
                                    Weighting weighting, const std::function<double(double)>& gainDb);

// The weighted energy of a signal in fractional-octave bands, summed over
// any number of samples (a whole file, or an interval of it) in fixed
// memory: the weighting filter, the band-pass bank and its corrections, fed
// in the bank's block multiple (what is left over waits for the next call,
// so a stretch's levels lag its edges by less than the multiple).
class CBandEnergy {
public:
    // `gainDb`: a microphone's correction (empty for none), as above.
    CBandEnergy(int bandsPerOctave, Weighting weighting, double rate,
                const std::function<double(double)>& gainDb = {});

    void Add(const double* samples, int count);
    // Each band's mean square since the last call (0 with no samples).
    std::vector<double> TakeMeanSquares();
    const std::vector<FractionalOctaveBand>& Bands() const { return bank.Bands(); }

private:
    CFrequencyWeighting filter;
    CFractionalOctaveBank bank;
    std::vector<double> correction;
    std::vector<double> waiting;
};
