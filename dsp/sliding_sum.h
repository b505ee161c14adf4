#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// The sum of the newest values of a stream over a window of any length up
// to a capacity, summed afresh each time it is asked for: no running total
// from which old values are taken away again, so no error builds up
// however long the stream runs and a window of zeros sums to exactly 0.
// Each aligned chunk of `Chunk` values keeps its own sum, so a window costs
// one addition a chunk plus the values of a chunk cut at its oldest end.
// Values before the first count as 0. Sums in double, oldest first.
class CSlidingSum {
public:
    static constexpr int Chunk = 64;

    // Windows of up to `capacity` values.
    explicit CSlidingSum(int capacity);

    void Add(double value)
    {
        values[valueAt] = value;
        chunks[chunkAt] = inChunk == 0 ? value : chunks[chunkAt] + value;
        ++count;
        if (++valueAt == values.size())
            valueAt = 0;
        if (++inChunk == Chunk) {
            inChunk = 0;
            if (++chunkAt == chunks.size())
                chunkAt = 0;
        }
    }
    // The sum of the newest `length` values (at most the capacity).
    double Sum(int length) const;
    // Values added since the start.
    int64_t Count() const { return count; }

private:
    int64_t ring;       // values kept: the capacity and one chunk more
    int64_t chunkRing;  // chunks kept
    std::vector<double> values;
    std::vector<double> chunks;  // the sum of each chunk's values so far
    int64_t count = 0;
    // Where the next value goes: count % ring, count / Chunk % chunkRing and
    // count % Chunk, kept as they are so that adding divides nothing.
    size_t valueAt = 0, chunkAt = 0;
    int inChunk = 0;
};
