#include "analysis/transfer_measurement.h"

#include <algorithm>

#include "settings/measure_settings.h"

namespace {

constexpr double Rate = 48000.0;
constexpr double AveragingWhenOff = 1.0;  // seconds

} // namespace

CTransferMeasurement::CTransferMeasurement()
    : transfer(Rate), keptX(static_cast<size_t>(KeptSeconds * Rate)), keptY(keptX.size())
{
}

void CTransferMeasurement::SetSources(TransferSource newReference, TransferSource newMeasured)
{
    if (newReference == reference && newMeasured == measured)
        return;
    reference = newReference;
    measured = newMeasured;
    transfer.Reset();
    keptCount = keptNext = 0;
}

void CTransferMeasurement::FollowSettings()
{
    const double seconds = AveragingSeconds(SharedMeasureSettings.Averaging);
    transfer.SetAveraging(seconds < 0.0 ? AveragingWhenOff : seconds);
}

void CTransferMeasurement::Consume(const AnalysedBlock& block)
{
    if (!wanted || !block.interleaved || block.frames <= 0)
        return;
    FollowSettings();
    // What the generator played is taken once a block, whichever uses it,
    // passing over what the capture dropped so that the two stay in step.
    const uint64_t skipped = block.droppedFrames >= droppedBefore ? block.droppedFrames - droppedBefore : 0;
    droppedBefore = block.droppedFrames;
    if (reference == TransferSource::Generator || measured == TransferSource::Generator) {
        played.assign(static_cast<size_t>(block.frames), 0.0f);
        if (!generatorFrames || !generatorFrames(skipped, block.frames, played.data()))
            std::fill(played.begin(), played.end(), 0.0f);
    }
    Split(block, reference, x);
    Split(block, measured, y);
    transfer.Process(x.data(), y.data(), block.frames);
    Keep(x, y);
}

void CTransferMeasurement::Split(const AnalysedBlock& block, TransferSource source, std::vector<float>& out)
{
    if (source == TransferSource::Generator) {
        out = played;
        return;
    }
    const size_t frames = static_cast<size_t>(block.frames);
    out.resize(frames);
    const size_t channel = source == TransferSource::LeftInput ? 0 : 1;
    for (size_t i = 0; i < frames; ++i)
        out[i] = static_cast<float>(block.interleaved[2 * i + channel] / 32768.0);
}

void CTransferMeasurement::Keep(const std::vector<float>& xs, const std::vector<float>& ys)
{
    for (size_t i = 0; i < xs.size(); ++i) {
        keptX[keptNext] = xs[i];
        keptY[keptNext] = ys[i];
        keptNext = (keptNext + 1) % keptX.size();
    }
    keptCount = std::min(keptX.size(), keptCount + xs.size());
}

FoundDelay CTransferMeasurement::FindDelay() const
{
    if (keptCount < keptX.size() / 2)
        return FoundDelay();
    std::vector<float> xs(keptCount), ys(keptCount);
    const size_t oldest = (keptNext + keptX.size() - keptCount) % keptX.size();
    for (size_t i = 0; i < keptCount; ++i) {
        xs[i] = keptX[(oldest + i) % keptX.size()];
        ys[i] = keptY[(oldest + i) % keptY.size()];
    }
    return ::FindDelay(xs, ys, static_cast<int>(MaxLagSeconds * Rate));
}
