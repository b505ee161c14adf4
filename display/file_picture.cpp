#include "display/file_picture.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>

#include "analysis/wave_capture.h"
#include "display/column_strip.h"
#include "display/file_picture_part.h"
#include "display/spectrogram_view.h"
#include "dsp/subnormals.h"
#include "input/audio_file_reader.h"
#include "settings/shared_settings.h"

namespace {

constexpr int Block = CWaveCapture::FramesPerBuffer;
constexpr int64_t MaxNaturalWidth = 65535;
// A part of the file drawn on its own is at least this many blocks long.
constexpr int64_t ShortestPart = 512;

// Frames the file holds from where it stands: read through.
uint64_t CountFrames(AudioFileReader& reader)
{
    std::vector<int16_t> frames(2 * Block);
    uint64_t count = 0;
    while (const size_t n = reader.ReadStereo(frames.data(), Block))
        count += n;
    return count;
}

// Cuts blocks [0, count) into parts of equal length.
std::vector<int64_t> Cuts(int64_t count, int threads)
{
    const int64_t parts = std::clamp<int64_t>(count / ShortestPart, 1, std::max(threads, 1));
    std::vector<int64_t> cuts;
    for (int64_t p = 0; p <= parts; ++p)
        cuts.push_back(count * p / parts);
    return cuts;
}

} // namespace

int FilePictureSurfaceWidth()
{
    return 2 * (24 * ColumnsPerSpectrum() + 32 + 9);
}

double CFilePicture::Seconds() const
{
    return static_cast<double>(blocks) * Block / AudioFileReader::EngineRate;
}

bool CFilePicture::Draw(const std::string& path, const FilePictureRequest& request, CSurfaceFactory& surfaces,
                        const std::function<void(double)>& progress, std::string& problem)
{
    if (request.height < MinimumRows) {
        problem = "The picture needs at least " + std::to_string(MinimumRows) + " rows.";
        return false;
    }
    if (request.mode == 3 && !SharedSettings.LogScale) {
        problem = "The LPC view draws only on the logarithmic axis.";
        return false;
    }
    AudioFileReader reader;
    if (!reader.Open(path, problem))
        return false;
    const double from = std::max(request.from, 0.0) * AudioFileReader::EngineRate;
    const uint64_t start = static_cast<uint64_t>(std::llround(std::min(from, 1e15)));
    uint64_t frames = reader.FrameCount();
    if (frames == 0 && reader.SkipTo(start))
        frames = start + CountFrames(reader);
    uint64_t end = frames;
    if (request.to >= 0)
        end = std::min<uint64_t>(end, static_cast<uint64_t>(std::llround(std::min(request.to * 48000.0, 1e15))));
    const int64_t wanted = end > start ? static_cast<int64_t>((end - start) / Block) : 0;
    if (wanted <= 0) {
        problem = start >= frames ? "The file ends before " + std::to_string(request.from) + " s."
                                  : "The part asked for holds less than one block (2048 frames at 48 kHz).";
        return false;
    }
    if (request.width == 0 && wanted * 2 * ColumnsPerSpectrum() > MaxNaturalWidth) {
        problem = "At one column per column drawn the picture would be up to " +
                  std::to_string(wanted * 2 * ColumnsPerSpectrum()) +
                  " columns wide; give --size, or a shorter part with --from and --to.";
        return false;
    }

    // Stereo is a window's layout, pause a window's state, the tempo a
    // readout: the file's picture is channel 0's, every block, nothing more.
    const Settings saved = SharedSettings;
    SharedSettings.Stereo = 0;
    SharedSettings.Pause = 0;
    SharedSettings.TempoDetector = 0;
    // Settled here, before the parts' engines start: none of them writes it.
    CWaveCapture::SettleWindowSize();
    // A converter's rounding depends on where it starts: a converted file
    // is drawn in one run.
    const int threads = reader.SampleRate() == AudioFileReader::EngineRate ? request.threads : 1;
    const std::vector<int64_t> cuts = Cuts(wanted, threads);
    const size_t parts = cuts.size() - 1;
    std::vector<CColumnStrip> strips(parts, CColumnStrip(request.height, request.width, wanted));
    std::vector<std::string> problems(parts);
    std::atomic<int64_t> done{0};
    std::atomic<size_t> finished{0};
    std::vector<std::thread> drawers;
    for (size_t p = 0; p < parts; ++p)
        drawers.emplace_back([&, p] {
            FlushSubnormalsOnThisThread();
            DrawPart(PartOfFile{path, start, cuts[p], cuts[p + 1], wanted}, request, surfaces, strips[p], done,
                     problems[p]);
            finished.fetch_add(1);
        });
    while (finished.load() < parts) {
        if (progress)
            progress(static_cast<double>(done.load(std::memory_order_relaxed)) / wanted);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    for (std::thread& drawer : drawers)
        drawer.join();
    SharedSettings = saved;

    for (const std::string& p : problems)
        if (!p.empty()) {
            problem = p;
            return false;
        }
    for (size_t p = 1; p < parts; ++p)
        strips[0].Append(strips[p]);
    if (strips[0].Columns() == 0) {
        problem = "The file is below the signal threshold throughout: the view drew nothing.";
        return false;
    }
    blocks = done.load();
    width = strips[0].Width();
    height = strips[0].Height();
    pixels = strips[0].Pixels();
    return true;
}
