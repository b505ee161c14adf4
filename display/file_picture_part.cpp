#include "display/file_picture_part.h"

#include <algorithm>
#include <deque>
#include <vector>

#include "analysis/block_readings.h"
#include "analysis/wave_capture.h"
#include "display/file_picture.h"
#include "display/renderer.h"
#include "display/spectrogram_view.h"
#include "input/audio_file_reader.h"
#include "input/fed_input.h"
#include "settings/shared_settings.h"

namespace {

constexpr int Block = CWaveCapture::FramesPerBuffer;
// The blocks the engine and the view must have drawn before their columns
// are those of a run from the start: the sample history, and a few for the
// blending with the previous spectrum and the columns the views draw over.
constexpr int64_t WarmUpBlocks = CWaveCapture::HistoryBuffers + 8;

// Reads whole blocks into an engine and draws each into a narrow surface;
// the columns leaving the surface's right half have settled.
class BlockDrawing {
public:
    BlockDrawing(const FilePictureRequest& request, CSurfaceFactory& surfaces)
        : rc{0, 0, FilePictureSurfaceWidth(), request.height}
    {
        engine.SetNotifyWindow(&quiet);
        engine.SetDisplayModeSource(renderer.DisplayModeSource());
        renderer.SetMeasurement(&readings.Measurement());
        renderer.SetDisplayMode(request.mode);
        engine.ReconfigureConstantQ();
        renderer.UpdateCQWrapBand();
        engine.Start();
        renderer.CreateSurface(&surfaces, rc, &engine);
        // The columns the right half starts with belong to no block.
        owners.assign(static_cast<size_t>(Region()), -1);
    }

    // Draws `frames` as block `block`; the settled columns of blocks in
    // [first, end) go to `strip`.
    void Draw(const int16_t* frames, int64_t block, int64_t first, int64_t end, CColumnStrip& strip)
    {
        const int c = 2 * ColumnsPerSpectrum();
        Keep(c);
        driver.Feed(frames, Block);
        engine.ProcessBlock();
        if (renderer.DrawBlock(rc).Moves().empty())
            return;
        Take(c, first, end, strip);
        owners.insert(owners.end(), static_cast<size_t>(c), block);
    }

    // The columns still in the right half, as they stand.
    void Finish(int64_t first, int64_t end, CColumnStrip& strip)
    {
        Keep(Region());
        Take(Region(), first, end, strip);
    }

    // No column of blocks before `end` is still being drawn into.
    bool SettledBefore(int64_t end) const
    {
        return std::none_of(owners.begin(), owners.end(), [end](int64_t b) { return b >= 0 && b < end; });
    }

private:
    int Region() const { return RectWidth(rc) - 9 - RectWidth(rc) / 2; }

    // Copies the `count` leftmost columns of the right half.
    void Keep(int count)
    {
        BITMAP bits = renderer.Surface()->Pixels();
        const int h = RectHeight(rc);
        kept.resize(static_cast<size_t>(count) * h);
        for (int y = 0; y < h; ++y) {
            const auto* row = reinterpret_cast<const uint32_t*>(static_cast<const char*>(bits.bmBits) +
                                                                static_cast<ptrdiff_t>(y) * bits.bmWidthBytes);
            for (int x = 0; x < count; ++x)
                kept[static_cast<size_t>(x) * h + y] = row[RectWidth(rc) / 2 + x];
        }
    }

    void Take(int count, int64_t first, int64_t end, CColumnStrip& strip)
    {
        for (int x = 0; x < count && !owners.empty(); ++x) {
            const int64_t owner = owners.front();
            if (owner >= first && owner < end)
                strip.Add(&kept[static_cast<size_t>(x) * RectHeight(rc)], 1, owner);
            owners.pop_front();
        }
    }

    RECT rc;
    FedDriver driver;
    FedDriver::QuietTarget quiet;
    CWaveCapture engine{&driver};
    CBlockReadings readings{engine};  // wired as the live window's engine is
    CRenderer renderer;
    std::deque<int64_t> owners;  // the block of each column of the right half
    std::vector<uint32_t> kept;  // column by column
};

} // namespace

void DrawPart(const PartOfFile& part, const FilePictureRequest& request, CSurfaceFactory& surfaces,
              CColumnStrip& strip, std::atomic<int64_t>& done, std::string& problem)
{
    AudioFileReader reader;
    if (!reader.Open(part.path, problem))
        return;
    int64_t block = std::max<int64_t>(part.first - WarmUpBlocks, 0);
    if (!reader.SkipTo(part.start + static_cast<uint64_t>(block) * Block)) {
        problem = "The file cannot be read from where its picture starts.";
        return;
    }
    BlockDrawing drawing(request, surfaces);
    std::vector<int16_t> frames(2 * Block);
    for (; block < part.blocks; ++block) {
        if (block >= part.end && drawing.SettledBefore(part.end))
            return;
        if (reader.ReadStereo(frames.data(), Block) != Block)
            break;
        drawing.Draw(frames.data(), block, part.first, part.end, strip);
        if (block >= part.first && block < part.end)
            done.fetch_add(1, std::memory_order_relaxed);
    }
    drawing.Finish(part.first, part.end, strip);
}
