#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "analysis/block_consumer.h"
#include "analysis/tempo_detector.h"
#include "dsp/constant_q.h"
#include "dsp/fft_batch.h"
#include "dsp/fft_pair.h"
#include "dsp/window_functions.h"
#include "input/wave_input.h"

// A failure of the sound input device, with the device's own message.
class CaptureError : public std::runtime_error {
public:
    explicit CaptureError(const std::string& message) : std::runtime_error(message) {}
    int Code() const { return -1; }
};

// The analysis engine: captures two buffers of 2048 stereo frames in
// rotation and turns each filled buffer into sample history, two windowed
// spectra per channel on the 4096-bin grid, and two constant-Q frames.
class CWaveCapture {
public:
    static constexpr int FramesPerBuffer = WaveFramesPerBuffer;
    static constexpr int HistoryBuffers = 18;
    static constexpr int HistoryLength = HistoryBuffers * FramesPerBuffer;
    static constexpr int SpectrumBlockLength = 16384;
    static constexpr int SecondSpectrum = 8192;
    static constexpr int GridBins = 4096;
    static constexpr int ConstantQSize = 8 * FramesPerBuffer;
    static constexpr int BufferBytes = 2 * FramesPerBuffer * 2;

    // `driver` opens the sound input; it must outlive the engine.
    explicit CWaveCapture(WaveInputDriver* driver = nullptr);
    virtual ~CWaveCapture();

    CWaveCapture(const CWaveCapture&) = delete;
    CWaveCapture& operator=(const CWaveCapture&) = delete;

    void SetDriver(WaveInputDriver* driver) { this->driver = driver; }
    void SetNotifyWindow(WaveNotifyTarget* window) { notifyWindow = window; }
    // Where the engine reads the current display mode (1: constant-Q view).
    void SetDisplayModeSource(const int* mode) { displayMode = mode ? mode : &NoDisplayMode; }

    // Opens the device with both buffers queued and starts it. Returns 0
    // without doing anything when no notify window is set. Throws
    // CaptureError; a failed start releases everything it took.
    int Start();
    // Stops and releases the device; 0 when none is open.
    int Close();
    bool IsOpen() const { return device != nullptr; }

    // The window size the linear pass uses: `WindowSize`, which is made
    // 4096 when it lies outside 512..8192. Engines on several threads call
    // it first, so that none of them writes the setting.
    static int SettleWindowSize();

    // Analyses the buffer whose notification comes next and queues it
    // again. Throws CaptureError when it cannot be queued again.
    int ProcessBlock();
    // Appends the current buffer to the sample history; -1 with no device.
    int UpdateHistory();

    const int16_t* GetSampleHistory(int channel = 0) const { return history[channel ? 1 : 0].data(); }
    const float* GetSpectrum(int channel) const { return spectrum[channel ? 1 : 0].data(); }
    // Makes GetSpectrum hold the newest block's linear spectra: computed now
    // from the sample history when that block's analysis skipped the linear
    // pass (the constant-Q view without the wrapped spectrum does).
    void UpdateLinearSpectrum();
    const float* GetCQSpectrum() const { return cqSpectrum.data(); }
    void ReconfigureConstantQ();
    // The constant-Q frames are computed for every block also when neither
    // the view nor the tempo detector needs them (a keyboard shown).
    void SetConstantQWanted(bool wanted) { constantQWanted = wanted; }
    bool ConstantQWanted() const { return constantQWanted; }
    double TempoBpm() const { return tempoBpm; }
    // How clearly the last estimate's beat stands out (TempoClarity).
    double TempoClarity() const { return tempoClarity; }
    // How strong its onsets are against the level (TempoOnsetStrength).
    double TempoStrength() const { return tempoStrength; }
    // The estimate is a beat worth showing: the detector has heard a whole
    // history since it was switched on or capture started (the rise from
    // nothing at the start has left it), the beat stands out of the onset
    // curve (clarity at least ClearBeat) and its onsets are strong against
    // the level (strength at least StrongBeat). Steady tones, chords, noise
    // and silence give no beat.
    bool TempoIsBeat() const;
    static constexpr double ClearBeat = 6.0;
    static constexpr double StrongBeat = 0.3;

    // Consumers are handed every analysed block after the engine's passes,
    // in the order they were added; each must outlive its registration.
    void AddConsumer(BlockConsumer* consumer);
    void RemoveConsumer(BlockConsumer* consumer);

    int CurrentBuffer() const { return currentBuffer; }
    // Frames the devices dropped because no buffer was queued, over all the
    // devices this engine has opened.
    uint64_t DroppedFrames() const;
    const WaveInput* Device() const { return device.get(); }
    const CConstantQ& ConstantQ() const { return *constantQ; }

private:
    static const int NoDisplayMode;

    struct CaptureBuffer {
        WaveHeader header;
        std::unique_ptr<char[]> data;
    };

    [[noreturn]] void Fail(int code);
    void LinearPass();
    void StereoLinearPass(int N);
    void MonoLinearPass(int N);
    const float* Windowed(const int16_t* samples, int N, int slot);
    static void MapToGrid(float* spectrumOut, int N);
    void ConstantQPass();
    void HandOn();

    WaveNotifyTarget* notifyWindow = nullptr;
    std::unique_ptr<CaptureBuffer> buffers[2];
    int currentBuffer = 0;
    std::unique_ptr<WaveInput> device;
    uint64_t droppedByClosedDevices = 0;
    const int framesPerBuffer = FramesPerBuffer;

    std::vector<int16_t> history[2];
    std::vector<float> spectrum[2];
    std::vector<float> cqSpectrum;
    std::unique_ptr<CConstantQ> constantQ;
    std::unique_ptr<CTempoDetector> tempoDetector;
    double tempoBpm = 0.0;
    double tempoClarity = 0.0;
    double tempoStrength = 0.0;
    int tempoFrames = 0;  // pushed since the detector was switched on or capture started
    bool constantQWanted = false;
    bool linearSpectrumCurrent = false;  // the spectra belong to the newest block
    std::vector<BlockConsumer*> consumers;
    int16_t newestFrames[2 * FramesPerBuffer] = {};  // the block being analysed, as captured
    long blocksAnalysed = 0;

    WaveInputDriver* driver;
    const int* displayMode = &NoDisplayMode;
    // Kept between blocks: the plan and window factors depend only on the
    // transform size and window type.
    std::unique_ptr<CFFTBatch> linearFft;  // stereo
    std::unique_ptr<CFFTPair> monoFft;
    CWindowTable windowTable;
    std::vector<float> work;
    std::vector<float> constantQInput[2];
};
