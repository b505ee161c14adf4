#pragma once

#include "dsp/biquad.h"

// The K-weighting of ITU-R BS.1770-4 at 48 kHz: the pre-filter (a high
// shelf for the acoustic effect of the head, Table 1) and the RLB high-pass
// (Table 2), with the coefficients the recommendation gives. Loudness is
// -0.691 + 10 log10 of the K-weighted mean square summed over the channels.
inline BiquadCascade KWeighting48k()
{
    CBiquad shelf, highPass;
    shelf.b0 = 1.53512485958697;
    shelf.b1 = -2.69169618940638;
    shelf.b2 = 1.19839281085285;
    shelf.a1 = -1.69065929318241;
    shelf.a2 = 0.73248077421585;
    highPass.b0 = 1.0;
    highPass.b1 = -2.0;
    highPass.b2 = 1.0;
    highPass.a1 = -1.99004745483398;
    highPass.a2 = 0.99007225036621;
    return {shelf, highPass};
}
