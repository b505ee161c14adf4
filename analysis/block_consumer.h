#pragma once

#include <cstdint>

// One analysed block, as the engine hands it on. Everything it points to is
// the engine's and valid during the call alone.
struct AnalysedBlock {
    const int16_t* interleaved = nullptr;  // `frames` stereo frames, as captured
    int frames = 0;
    // The engine's channel 0 of the block: the left channel with the stereo
    // view on, else the mix (right / 2 + left / 2); `frames` samples.
    const int16_t* channel0 = nullptr;
    // The newest linear spectra (4096 grid bins) of each channel the engine
    // analysed; null where it did not compute them for this block.
    const float* spectra[2] = {nullptr, nullptr};
    long index = 0;                 // blocks the engine analysed before this one
    uint64_t droppedFrames = 0;     // frames the devices dropped before the block's first, in all
};

// What is computed from blocks beside the engine's own passes. The owner
// registers it with the engine (CWaveCapture::AddConsumer); the engine hands
// it every analysed block after its passes, on the engine's thread (the GUI
// thread), consumers in the order they were registered.
class BlockConsumer {
public:
    virtual ~BlockConsumer() = default;
    // The next block's linear spectra are wanted: the engine computes them
    // where its own passes would not (the constant-Q view).
    virtual bool WantsSpectra() const { return false; }
    virtual void Consume(const AnalysedBlock& block) = 0;
};
