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
        const int64_t at = count++;
        values[static_cast<size_t>(at % ring)] = value;
        double& chunk = chunks[static_cast<size_t>(at / Chunk % chunkRing)];
        chunk = at % Chunk == 0 ? value : chunk + value;
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
};
