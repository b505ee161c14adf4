#include "dsp/sliding_sum.h"

#include <algorithm>

// One chunk more than the capacity: the chunk being filled never shares
// its place with the oldest chunk a window reads.
CSlidingSum::CSlidingSum(int capacity)
    : ring((std::max(capacity, 1) + Chunk - 1) / Chunk * Chunk + Chunk),
      chunkRing(ring / Chunk),
      values(static_cast<size_t>(ring), 0.0),
      chunks(static_cast<size_t>(chunkRing), 0.0)
{
}

double CSlidingSum::Sum(int length) const
{
    const int64_t start = std::max<int64_t>(0, count - std::max(length, 0));
    const int64_t firstWhole = (start + Chunk - 1) / Chunk * Chunk;  // the first chunk wholly inside
    double sum = 0.0;
    size_t at = static_cast<size_t>(start % ring);
    for (int64_t i = start; i < std::min(firstWhole, count); ++i) {
        sum += values[at];
        if (++at == values.size())
            at = 0;
    }
    const int64_t chunkEnd = (count + Chunk - 1) / Chunk;
    at = static_cast<size_t>(firstWhole / Chunk % chunkRing);
    for (int64_t c = firstWhole / Chunk; c < chunkEnd; ++c) {
        sum += chunks[at];
        if (++at == chunks.size())
            at = 0;
    }
    return sum;
}
