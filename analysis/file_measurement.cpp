#include "analysis/file_measurement.h"

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "analysis/file_meter_parts.h"
#include "input/audio_file_reader.h"

namespace {

constexpr int Stretch = 2048;          // frames read at a time, as the engine's blocks
constexpr int ChunkStretches = 64;     // stretches handed to the meters at a time
constexpr double Rate = AudioFileReader::EngineRate;

// Stretches of the file as read, each ending where the reading stopped:
// at Stretch frames, at an interval's end or at the file's end. The meters
// are fed the same stretches however they run, so their numbers do not
// depend on it.
struct Chunk {
    struct Piece {
        size_t frames;
        bool endsInterval;
    };
    std::vector<int16_t> stereo = std::vector<int16_t>(2 * Stretch * ChunkStretches);
    std::vector<Piece> pieces;
};

// Reads the file's next chunk, noting the intervals it closes in
// `m.intervals`; false at the file's end.
class CChunkReader {
public:
    CChunkReader(AudioFileReader& reader, double intervalSeconds, FileMeasurement& m)
        : reader(reader), m(m),
          intervalFrames(intervalSeconds > 0.0 ? std::max<uint64_t>(1, std::llround(intervalSeconds * Rate)) : 0)
    {
    }

    bool Read(Chunk& chunk)
    {
        chunk.pieces.clear();
        size_t used = 0;
        while (chunk.pieces.size() < ChunkStretches && !ended) {
            size_t wanted = Stretch;
            if (intervalFrames)
                wanted = std::min<size_t>(wanted, intervalFrames - frames % intervalFrames);
            const size_t n = reader.ReadStereo(chunk.stereo.data() + 2 * used, wanted);
            frames += n;
            ended = n == 0;
            // The last interval may be shorter than the others.
            const bool endsInterval = intervalFrames && frames > intervalStart &&
                                      (frames % intervalFrames == 0 || ended);
            if (n == 0 && !endsInterval)
                break;
            chunk.pieces.push_back({n, endsInterval});
            used += n;
            if (endsInterval) {
                m.intervals.emplace_back();
                m.intervals.back().start = static_cast<double>(intervalStart) / Rate;
                m.intervals.back().end = static_cast<double>(frames) / Rate;
                intervalStart = frames;
            }
        }
        return !chunk.pieces.empty();
    }

    uint64_t Frames() const { return frames; }

private:
    AudioFileReader& reader;
    FileMeasurement& m;
    const uint64_t intervalFrames;
    uint64_t frames = 0, intervalStart = 0;
    bool ended = false;
};

void Feed(CFileMeterPart& part, const Chunk& chunk)
{
    size_t used = 0;
    for (const Chunk::Piece& piece : chunk.pieces) {
        if (piece.frames)
            part.Add(chunk.stereo.data() + 2 * used, piece.frames);
        used += piece.frames;
        if (piece.endsInterval)
            part.EndInterval();
    }
}

// Hands chunks from the reading thread to the parts, each on a thread of
// its own, through a ring of chunks: a part works through the chunks at its
// own pace, and a chunk is read again only when every part is done with it.
class CChunkPipeline {
public:
    static constexpr uint64_t Ring = 8;

    // Reads every chunk with `read` on this thread and returns when every
    // part has been fed all of them; false, having read nothing, when the
    // threads cannot be had.
    bool Run(std::vector<std::unique_ptr<CFileMeterPart>>& parts, CChunkReader& read)
    {
        consumed.assign(parts.size(), 0);
        std::vector<std::thread> threads;
        try {
            for (size_t p = 0; p < parts.size(); ++p)
                threads.emplace_back([this, p, &parts] { Consume(p, *parts[p]); });
        } catch (const std::system_error&) {
            Stop(threads);
            return false;
        }
        for (uint64_t n = 0;; ++n) {
            {
                std::unique_lock<std::mutex> lock(mutex);
                changed.wait(lock, [&] { return *std::min_element(consumed.begin(), consumed.end()) + Ring > n; });
            }
            if (!read.Read(ring[n % Ring]))
                break;
            std::lock_guard<std::mutex> lock(mutex);
            produced = n + 1;
            changed.notify_all();
        }
        Stop(threads);
        return true;
    }

private:
    // The parts finish the chunks read, and their threads end.
    void Stop(std::vector<std::thread>& threads)
    {
        {
            std::lock_guard<std::mutex> lock(mutex);
            finished = true;
            changed.notify_all();
        }
        for (std::thread& t : threads)
            t.join();
    }

    void Consume(size_t p, CFileMeterPart& part)
    {
        for (uint64_t n = 0;; ++n) {
            {
                std::unique_lock<std::mutex> lock(mutex);
                changed.wait(lock, [&] { return produced > n || finished; });
                if (produced <= n)
                    return;
            }
            Feed(part, ring[n % Ring]);
            std::lock_guard<std::mutex> lock(mutex);
            consumed[p] = n + 1;
            changed.notify_all();
        }
    }

    Chunk ring[Ring];
    std::mutex mutex;
    std::condition_variable changed;
    uint64_t produced = 0;
    std::vector<uint64_t> consumed;  // per part
    bool finished = false;
};

} // namespace

FileMeasurement MeasureFile(const std::string& path, const MeasureOptions& options)
{
    FileMeasurement m;
    m.weighting = options.weighting;
    AudioFileReader reader;
    if (!reader.Open(path, m.error))
        return m;
    m.notice = reader.Notice();
    m.rate = reader.SampleRate();
    m.channels = reader.Channels();
    std::vector<std::unique_ptr<CFileMeterPart>> parts = FileMeterParts(options);
    CChunkReader chunks(reader, options.intervalSeconds, m);
    const bool sideBySide = options.threads > 1 && std::make_unique<CChunkPipeline>()->Run(parts, chunks);
    for (Chunk chunk; !sideBySide && chunks.Read(chunk);)
        for (auto& part : parts)
            Feed(*part, chunk);
    m.seconds = static_cast<double>(chunks.Frames()) / Rate;
    for (auto& part : parts)
        part->Finish(m);
    return m;
}
