#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "analysis/block_consumer.h"
#include "analysis/transfer_curve.h"
#include "dsp/delay_finder.h"

// Where the transfer view takes a signal from.
enum class TransferSource { LeftInput = 0, RightInput = 1, Generator = 2 };

// What the transfer view measures, block by block while it is wanted: the
// chosen reference and measurement of each analysed block into the transfer
// function, averaged as the Measure menu says (exponential with its time
// constant, or linear; with averaging off, exponential over 1 s, since one
// segment alone has a coherence of 1 everywhere), and the last seconds of
// both kept for finding the delay. The generator as a source is what the
// generator played at the instants of the block's frames, from
// `generatorFrames`; silence where it has none.
class CTransferMeasurement : public BlockConsumer {
public:
    // Frames kept for finding the delay: 2 s, the delay looked for within
    // MaxLagSeconds either way.
    static constexpr double KeptSeconds = 2.0;
    static constexpr double MaxLagSeconds = 0.5;
    // Fills `out` with the generator's signal (before its choice of
    // channels), `frames` samples, as played when the block's frames were
    // captured, after passing over `skipped` samples (those of the frames
    // the capture dropped since the block before); false for none.
    using GeneratorFrames = std::function<bool(uint64_t skipped, int frames, float* out)>;

    CTransferMeasurement();

    void SetWanted(bool wanted) { this->wanted = wanted; }
    bool Wanted() const { return wanted; }
    void SetSources(TransferSource reference, TransferSource measurement);
    TransferSource Reference() const { return reference; }
    TransferSource Measured() const { return measured; }
    void SetGeneratorFrames(GeneratorFrames frames) { generatorFrames = std::move(frames); }
    // The delay compensated, in samples; resets the averages.
    void SetDelay(double samples) { transfer.SetDelay(samples); }
    double Delay() const { return transfer.Delay(); }
    // The delay of the kept seconds of the two signals (not applied); not
    // found before KeptSeconds / 2 of them or when either is silent.
    FoundDelay FindDelay() const;
    // Starts the averages again, as Reset measurement does.
    void Reset() { transfer.Reset(); }
    // The Measure menu's averaging, at each block.
    void FollowSettings();

    void Consume(const AnalysedBlock& block) override;

    const CTransferFunction& Transfer() const { return transfer; }

private:
    void Split(const AnalysedBlock& block, TransferSource source, std::vector<float>& out);
    void Keep(const std::vector<float>& x, const std::vector<float>& y);

    CTransferFunction transfer;
    TransferSource reference = TransferSource::LeftInput, measured = TransferSource::RightInput;
    bool wanted = false;
    GeneratorFrames generatorFrames;
    std::vector<float> x, y, played;
    uint64_t droppedBefore = 0;  // the capture's dropped frames at the block before
    // The last KeptSeconds of both signals, oldest first once full.
    std::vector<float> keptX, keptY;
    size_t keptNext = 0, keptCount = 0;
};
