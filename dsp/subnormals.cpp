#include "dsp/subnormals.h"

#if defined(__SSE2__)
#include <xmmintrin.h>
#endif

namespace {

#if defined(__SSE2__)
constexpr unsigned FlushToZero = 0x8000;     // MXCSR bit 15
constexpr unsigned DenormalsAreZero = 0x0040;  // MXCSR bit 6
#endif

} // namespace

void FlushSubnormalsOnThisThread()
{
#if defined(__SSE2__)
    _mm_setcsr(_mm_getcsr() | FlushToZero | DenormalsAreZero);
#endif
}
