#include "input/wave_input.h"

#include <cstring>

std::string WaveErrorText(int code)
{
    switch (code) {
    case WaveOk:
        return "The operation completed successfully.";
    case WaveErrorDevice:
        return "The sound input device reported an error.";
    case WaveErrorInvalidHandle:
        return "The sound input device is not open.";
    case WaveErrorInvalidParam:
        return "An invalid buffer was passed to the sound input device.";
    case WaveErrorBadFormat:
        return "The sound input device does not support 16-bit stereo at 48000 Hz.";
    case WaveErrorStillQueued:
        return "The buffer is still queued on the sound input device.";
    case WaveErrorUnprepared:
        return "The buffer was not prepared for the sound input device.";
    default:
        return "Unknown sound input error " + std::to_string(code) + ".";
    }
}

WaveInput::WaveInput(const WaveFormat& format, WaveNotifyTarget* target) : format(format), target(target) {}

WaveInput::~WaveInput() = default;

int WaveInput::Prepare(WaveHeader* header)
{
    if (!header || !header->data || header->bufferLength == 0 ||
        header->bufferLength % static_cast<uint32_t>(format.BlockAlign()) != 0)
        return WaveErrorInvalidParam;
    const int state = header->state.load(std::memory_order_acquire);
    if (state == WaveHeader::Queued)
        return WaveErrorStillQueued;
    header->state.store(WaveHeader::Prepared, std::memory_order_release);
    return WaveOk;
}

int WaveInput::Unprepare(WaveHeader* header)
{
    if (!header)
        return WaveErrorInvalidParam;
    if (header->state.load(std::memory_order_acquire) == WaveHeader::Queued)
        return WaveErrorStillQueued;
    header->state.store(WaveHeader::Unprepared, std::memory_order_release);
    return WaveOk;
}

int WaveInput::AddBuffer(WaveHeader* header)
{
    if (closed)
        return WaveErrorInvalidHandle;
    if (!header)
        return WaveErrorInvalidParam;
    if (failed.load(std::memory_order_acquire))
        return WaveErrorDevice;
    const int state = header->state.load(std::memory_order_acquire);
    if (state == WaveHeader::Unprepared)
        return WaveErrorUnprepared;
    if (state == WaveHeader::Queued)
        return WaveErrorStillQueued;
    const unsigned tail = queueTail.load(std::memory_order_relaxed);
    if (tail - queueHead.load(std::memory_order_acquire) >= QueueSlots)
        return WaveErrorInvalidParam;
    header->bytesRecorded = 0;
    header->state.store(WaveHeader::Queued, std::memory_order_relaxed);
    queue[tail % QueueSlots] = header;
    queueTail.store(tail + 1, std::memory_order_release);
    return WaveOk;
}

int WaveInput::Start()
{
    if (closed)
        return WaveErrorInvalidHandle;
    if (started)
        return WaveOk;
    SetGate(true);
    const int result = StartSource();
    started = result == WaveOk;
    if (!started)
        SetGate(false);
    return result;
}

void WaveInput::SetGate(bool open)
{
    std::lock_guard<std::mutex> guard(gateLock);
    gateOpen = open;
}

void WaveInput::StopDelivery()
{
    SetGate(false);
    if (started) {
        StopSource();
        started = false;
    }
}

int WaveInput::Reset()
{
    if (closed)
        return WaveErrorInvalidHandle;
    StopDelivery();
    // No delivery runs or can start: the queue is the GUI thread's alone.
    const unsigned first = queueHead.load(std::memory_order_acquire);
    const unsigned tail = queueTail.load(std::memory_order_acquire);
    for (unsigned head = first; head != tail; ++head) {
        WaveHeader* header = queue[head % QueueSlots];
        header->bytesRecorded = head == first ? fill : 0;
        header->state.store(WaveHeader::Done, std::memory_order_release);
    }
    queueHead.store(tail, std::memory_order_release);
    fill = 0;
    return WaveOk;
}

int WaveInput::Close()
{
    if (closed)
        return WaveErrorInvalidHandle;
    if (queueHead.load() != queueTail.load())
        return WaveErrorStillQueued;
    StopDelivery();
    closed = true;
    if (target)
        target->PostWaveClose();
    return WaveOk;
}

WaveHeader* WaveInput::QueuedHead()
{
    const unsigned head = queueHead.load(std::memory_order_relaxed);
    if (head == queueTail.load(std::memory_order_acquire))
        return nullptr;
    return queue[head % QueueSlots];
}

void WaveInput::CompleteHead()
{
    WaveHeader* header = queue[queueHead.load(std::memory_order_relaxed) % QueueSlots];
    header->bytesRecorded = fill;
    fill = 0;
    header->state.store(WaveHeader::Done, std::memory_order_release);
    queueHead.fetch_add(1, std::memory_order_release);
    if (target)
        target->PostWaveData(header);
}

void WaveInput::Deliver(const int16_t* frames, size_t frameCount)
{
    std::lock_guard<std::mutex> guard(gateLock);
    if (!gateOpen)
        return;
    const size_t frameBytes = static_cast<size_t>(format.BlockAlign());
    const char* bytes = reinterpret_cast<const char*>(frames);
    size_t remaining = frameCount * frameBytes;
    while (remaining > 0) {
        WaveHeader* header = QueuedHead();
        if (!header) {
            dropped.fetch_add(remaining / frameBytes, std::memory_order_relaxed);
            return;
        }
        if (fill == 0)
            header->droppedBefore = dropped.load(std::memory_order_relaxed);
        const size_t room = header->bufferLength - fill;
        const size_t count = remaining < room ? remaining : room;
        std::memcpy(header->data + fill, bytes, count);
        fill += static_cast<uint32_t>(count);
        bytes += count;
        remaining -= count;
        if (fill == header->bufferLength)
            CompleteHead();
    }
}

size_t WaveInput::FramesToFillHead()
{
    std::lock_guard<std::mutex> guard(gateLock);
    const WaveHeader* header = gateOpen ? QueuedHead() : nullptr;
    return header ? (header->bufferLength - fill) / static_cast<size_t>(format.BlockAlign()) : 0;
}

void WaveInput::ReportFailure(const std::string& message)
{
    std::lock_guard<std::mutex> guard(gateLock);
    if (!gateOpen || failed.load(std::memory_order_relaxed))
        return;
    lastMessage.Record(message);
    failed.store(true, std::memory_order_release);
    if (target)
        target->PostWaveError(message);
}

void WaveInput::ReportEnd()
{
    std::lock_guard<std::mutex> guard(gateLock);
    if (gateOpen && target)
        target->PostWaveEnd();
}

int DeviceMessage::Record(const std::string& message)
{
    std::lock_guard<std::mutex> guard(lock);
    text = message;
    return WaveErrorDevice;
}

std::string DeviceMessage::TextFor(int code) const
{
    if (code == WaveErrorDevice) {
        std::lock_guard<std::mutex> guard(lock);
        if (!text.empty())
            return text;
    }
    return WaveErrorText(code);
}
