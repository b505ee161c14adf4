#pragma once

// Numbers too small for a normal float or double (subnormal numbers) cost
// the processor about a hundred times as much as others. The analysis's
// recursive filters and averages (bands, weightings, time weighting,
// averaging) decay towards zero in silence and pass through them for
// seconds, long enough to drop capture. On the calling thread this makes
// every result too small for a normal number zero (flush to zero) and reads
// such inputs as zero (denormals are zero); nothing else changes. Every
// thread that analyses calls it first: the GUI thread at start, each
// thread that draws a part of a file.
void FlushSubnormalsOnThisThread();
