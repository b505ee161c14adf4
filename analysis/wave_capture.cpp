#include "analysis/wave_capture.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "dsp/frequency_axis.h"
#include "settings/shared_settings.h"

const int CWaveCapture::NoDisplayMode = 0;

namespace {

constexpr int ConstantQDisplayMode = 1;
constexpr float SampleScale = 1.0f / 32768.0f;  // 2^-15, exact
constexpr int ConstantQLowNote = 24;
constexpr int ConstantQHighNote = 110;

} // namespace

CWaveCapture::CWaveCapture(WaveInputDriver* driver) : driver(driver)
{
    for (int ch = 0; ch < 2; ++ch) {
        history[ch].assign(HistoryLength, 0);
        spectrum[ch].assign(SpectrumBlockLength, 0.0f);
    }
    cqSpectrum.assign(2 * ConstantQBins, 0.0f);
    constantQ = std::make_unique<CConstantQ>();
    constantQ->Setup(ConstantQSize, 48000, ConstantQLowNote, ConstantQHighNote);
    tempoDetector = std::make_unique<CTempoDetector>();
    work.assign(SpectrumBlockLength, 0.0f);
}

CWaveCapture::~CWaveCapture()
{
    Close();
}

void CWaveCapture::Fail(int code)
{
    const std::string text = device ? device->ErrorText(code) : driver ? driver->ErrorText(code) : WaveErrorText(code);
    throw CaptureError(text);
}

int CWaveCapture::Start()
{
    if (!notifyWindow)
        return 0;
    if (device)
        Close();
    if (!driver)
        throw CaptureError("No sound input is available.");

    WaveFormat format;
    const int opened = driver->Open(device, format, notifyWindow);
    if (opened != WaveOk || !device) {
        device.reset();
        throw CaptureError(driver->ErrorText(opened != WaveOk ? opened : WaveErrorDevice));
    }
    try {
        for (auto& buffer : buffers) {
            buffer = std::make_unique<CaptureBuffer>();
            buffer->data.reset(new char[BufferBytes]);
            buffer->header.data = buffer->data.get();
            buffer->header.bufferLength = BufferBytes;
            if (const int r = device->Prepare(&buffer->header))
                Fail(r);
            if (const int r = device->AddBuffer(&buffer->header))
                Fail(r);
        }
        currentBuffer = 0;
        tempoFrames = 0;
        if (const int r = device->Start())
            Fail(r);
    } catch (...) {
        Close();
        throw;
    }
    return 0;
}

// Stops the device and frees what Start took, whatever state it reached;
// the result of closing the device, or 0 when none is open.
int CWaveCapture::Close()
{
    if (!device)
        return 0;
    device->Reset();
    droppedByClosedDevices += device->DroppedFrames();
    for (auto& buffer : buffers) {
        if (buffer)
            device->Unprepare(&buffer->header);
        buffer.reset();
    }
    const int result = device->Close();
    device.reset();
    return result;
}

uint64_t CWaveCapture::DroppedFrames() const
{
    return droppedByClosedDevices + (device ? device->DroppedFrames() : 0);
}

int CWaveCapture::UpdateHistory()
{
    if (!device)
        return -1;
    const int F = framesPerBuffer;
    const bool stereo = SharedSettings.Stereo != 0;
    int16_t* h0 = history[0].data();
    int16_t* h1 = history[1].data();
    std::memmove(h0, h0 + F, sizeof(int16_t) * (HistoryLength - F));
    if (stereo)
        std::memmove(h1, h1 + F, sizeof(int16_t) * (HistoryLength - F));

    const int16_t* frames = newestFrames;
    std::memcpy(newestFrames, buffers[currentBuffer]->header.data, sizeof newestFrames);
    int16_t* newest0 = h0 + (HistoryLength - F);
    int16_t* newest1 = h1 + (HistoryLength - F);
    for (int i = 0; i < F; ++i) {
        const int16_t left = frames[2 * i];
        const int16_t right = frames[2 * i + 1];
        if (stereo) {
            newest0[i] = left;
            newest1[i] = right;
        } else {
            newest0[i] = static_cast<int16_t>(right / 2 + left / 2);
        }
    }
    return 0;
}

int CWaveCapture::ProcessBlock()
{
    // A notification left over from a closed device, or one that does not
    // belong to the buffer due next, has nothing to analyse.
    if (!device || buffers[currentBuffer]->header.state.load(std::memory_order_acquire) != WaveHeader::Done)
        return 0;
    UpdateHistory();
    const int mode = *displayMode;
    linearSpectrumCurrent = false;
    if (mode != ConstantQDisplayMode || SharedSettings.WrapUnderCQ)
        LinearPass();
    if (!SharedSettings.TempoDetector)
        tempoFrames = 0;
    if (mode == ConstantQDisplayMode || SharedSettings.TempoDetector || constantQWanted)
        ConstantQPass();
    HandOn();
    if (const int r = device->AddBuffer(&buffers[currentBuffer]->header))
        Fail(r);
    currentBuffer = (currentBuffer + 1) % 2;
    return 0;
}

int CWaveCapture::SettleWindowSize()
{
    const int N = SharedSettings.WindowSize;
    if (N >= 512 && N <= 8192)
        return N;
    SharedSettings.WindowSize = 4096;
    return 4096;
}

void CWaveCapture::LinearPass()
{
    const int N = SettleWindowSize();
    const int channels = SharedSettings.Stereo != 0 ? 2 : 1;
    if (channels == 1)
        MonoLinearPass(N);
    else
        StereoLinearPass(N);
    for (int ch = 0; ch < channels; ++ch) {
        MapToGrid(spectrum[ch].data(), N);
        MapToGrid(spectrum[ch].data() + SecondSpectrum, N);
    }
    linearSpectrumCurrent = true;
}

// Both positions of both channels go through one batch of transforms:
// lanes 0 and 1 for channel 0, 2 and 3 for channel 1.
void CWaveCapture::StereoLinearPass(int N)
{
    if (!linearFft || linearFft->Size() != N)
        linearFft = std::make_unique<CFFTBatch>(N);
    const int F = framesPerBuffer;
    float* mags[CFFTBatch::Lanes] = {};
    for (int ch = 0; ch < 2; ++ch) {
        const int16_t* h = history[ch].data();
        float* S = spectrum[ch].data();
        linearFft->LoadReal(2 * ch, Windowed(h + (HistoryLength - F / 2 - N), N, 0), N);
        linearFft->LoadReal(2 * ch + 1, Windowed(h + (HistoryLength - N), N, 0), N);
        mags[2 * ch] = S + GridBins;
        mags[2 * ch + 1] = S + SecondSpectrum + GridBins;
    }
    linearFft->Run();
    linearFft->Magnitudes(mags, N);
}

// Channel 0's two positions through a pair of transforms in one register:
// half the work of the four-lane batch, whose other lanes would idle, and
// the same bits (both give the plain transform's).
void CWaveCapture::MonoLinearPass(int N)
{
    if (!monoFft || monoFft->Size() != N)
        monoFft = std::make_unique<CFFTPair>(N);
    const int F = framesPerBuffer;
    const int16_t* h = history[0].data();
    const float* positions[2] = {Windowed(h + (HistoryLength - F / 2 - N), N, 0),
                                 Windowed(h + (HistoryLength - N), N, 1)};
    monoFft->TransformReals(positions, 2, N);
    float* S = spectrum[0].data();
    float* const mags[CFFTPair::Lanes] = {S + GridBins, S + SecondSpectrum + GridBins};
    monoFft->Magnitudes(mags, N);
}

void CWaveCapture::AddConsumer(BlockConsumer* consumer)
{
    if (consumer && std::find(consumers.begin(), consumers.end(), consumer) == consumers.end())
        consumers.push_back(consumer);
}

void CWaveCapture::RemoveConsumer(BlockConsumer* consumer)
{
    consumers.erase(std::remove(consumers.begin(), consumers.end(), consumer), consumers.end());
}

// The block to each consumer, with the newest linear spectra where this
// block's analysis computed them or a consumer wants them.
void CWaveCapture::HandOn()
{
    AnalysedBlock block;
    block.interleaved = newestFrames;
    block.frames = framesPerBuffer;
    block.channel0 = history[0].data() + (HistoryLength - framesPerBuffer);
    block.index = blocksAnalysed++;
    if (consumers.empty())
        return;
    block.droppedFrames = droppedByClosedDevices + buffers[currentBuffer]->header.droppedBefore;
    if (std::any_of(consumers.begin(), consumers.end(), [](const BlockConsumer* c) { return c->WantsSpectra(); }))
        UpdateLinearSpectrum();
    if (linearSpectrumCurrent) {
        block.spectra[0] = spectrum[0].data() + SecondSpectrum;
        block.spectra[1] = SharedSettings.Stereo != 0 ? spectrum[1].data() + SecondSpectrum : nullptr;
    }
    for (BlockConsumer* consumer : consumers)
        consumer->Consume(block);
}

void CWaveCapture::UpdateLinearSpectrum()
{
    if (!linearSpectrumCurrent)
        LinearPass();
}

// N samples scaled to about +-1 and windowed, in work area `slot` (0 or 1):
// the input of one lane of the linear transform, whose raw magnitudes land
// in the spectrum's upper half and are then mapped onto the grid.
const float* CWaveCapture::Windowed(const int16_t* samples, int N, int slot)
{
    float* out = work.data() + static_cast<size_t>(slot) * N;
    for (int t = 0; t < N; ++t)
        out[t] = samples[t] * SampleScale;
    windowTable.Apply(out, N, static_cast<unsigned>(SharedSettings.WindowType));
    return out;
}

// Spreads N/2 raw magnitudes over the 4096 grid bins of 5.859375 Hz, with
// the gain sqrt(8192 / N) that evens out the transform sizes.
void CWaveCapture::MapToGrid(float* S, int N)
{
    float* raw = S + GridBins;
    if (N == 8192) {
        std::memcpy(S, raw, sizeof(float) * GridBins);
        return;
    }
    // The top grid bins interpolate towards the element after the last
    // magnitude: zero, so that the result depends only on this block.
    raw[N / 2] = 0.0f;
    const float g = static_cast<float>(std::sqrt(8192.0 / N));
    for (int k = 0; k < GridBins; ++k) {
        const double p = static_cast<double>(k * N) * (1.0 / 8192.0);
        const int i = static_cast<int>(p);
        S[k] = static_cast<float>(g * Interpolate(raw[i], raw[i + 1], p - i));
    }
}

void CWaveCapture::ConstantQPass()
{
    // The transform reads the first N of the 32768 samples it is handed.
    const int F = framesPerBuffer;
    const int used = constantQ->Size();
    const int16_t* h0 = history[0].data();
    const int starts[2] = {F, F + F / 2};
    for (int f = 0; f < 2; ++f) {
        constantQInput[f].resize(static_cast<size_t>(used));
        for (int t = 0; t < used; ++t)
            constantQInput[f][t] = h0[starts[f] + t] * SampleScale;
    }
    constantQ->TransformPair(constantQInput[0].data(), cqSpectrum.data(), constantQInput[1].data(),
                             cqSpectrum.data() + ConstantQBins);
    if (SharedSettings.TempoDetector) {
        tempoDetector->PushFrame(cqSpectrum.data());
        const TempoEstimate estimate = tempoDetector->Estimate();
        tempoBpm = estimate.bpm;
        tempoClarity = ::TempoClarity(*tempoDetector, estimate);
        tempoStrength = TempoOnsetStrength(*tempoDetector, estimate);
        tempoFrames = std::min(tempoFrames + 1, CTempoDetector::Rows + 1);
    }
}

bool CWaveCapture::TempoIsBeat() const
{
    return tempoFrames > CTempoDetector::Rows && tempoClarity >= ClearBeat && tempoStrength >= StrongBeat;
}

void CWaveCapture::ReconfigureConstantQ()
{
    constantQ->BuildKernel(48000, SharedSettings.CQAdjustmentValue);
}
