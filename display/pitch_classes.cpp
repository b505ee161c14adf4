#include "display/pitch_classes.h"

void PitchClassLevels(const float* frame, int bins, float* levels)
{
    double sums[12] = {};
    for (int b = 0; b < bins; ++b) {
        const int semitone = b / 2;
        if (b % 2 == 0) {
            sums[semitone % 12] += frame[b];
        } else {
            sums[semitone % 12] += 0.5 * frame[b];
            sums[(semitone + 1) % 12] += 0.5 * frame[b];
        }
    }
    for (int i = 0; i < 12; ++i)
        levels[i] = static_cast<float>(sums[i]);
}
