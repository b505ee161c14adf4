#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

// The wave-input layer: an open capture device that fills the buffers queued
// on it, in queue order, and reports each filled buffer to a notify target.
// Buffers are handed over between the GUI thread and the device's thread
// through one atomic state per buffer. The GUI thread waits for the device's
// thread in one place only: stopping (Reset, Close) returns once no delivery
// is running and none can start, so the buffers and the queue are then the
// GUI thread's alone.

enum WaveResult : int {
    WaveOk = 0,
    WaveErrorDevice = 1,       // the device's own message says why
    WaveErrorInvalidHandle = 5,
    WaveErrorInvalidParam = 11,
    WaveErrorBadFormat = 32,
    WaveErrorStillQueued = 33,
    WaveErrorUnprepared = 34,
};

// Frames in each buffer a device fills: 2048, 42.67 ms at 48 kHz.
constexpr int WaveFramesPerBuffer = 2048;

struct WaveFormat {
    int channels = 2;
    int sampleRate = 48000;
    int bitsPerSample = 16;
    int BlockAlign() const { return channels * bitsPerSample / 8; }
    int BytesPerSecond() const { return sampleRate * BlockAlign(); }
};

// One capture buffer. `state` is the hand-over between the two threads.
struct WaveHeader {
    enum State : int { Unprepared, Prepared, Queued, Done };

    char* data = nullptr;
    uint32_t bufferLength = 0;
    uint32_t bytesRecorded = 0;
    // Frames the device dropped before this buffer's first frame, set as
    // its filling begins.
    uint64_t droppedBefore = 0;
    std::atomic<int> state{Unprepared};
};

// The last message a device or driver reported, readable from any thread.
class DeviceMessage {
public:
    // Records `message`; returns WaveErrorDevice.
    int Record(const std::string& message);
    // The recorded message for WaveErrorDevice, else the code's own text.
    std::string TextFor(int code) const;

private:
    mutable std::mutex lock;
    std::string text;
};

// Receives the device's notifications. They come from the device's thread and
// must be posted on to the GUI thread, never handled in place.
class WaveNotifyTarget {
public:
    virtual ~WaveNotifyTarget() = default;
    // A queued buffer has been filled (the data notification).
    virtual void PostWaveData(WaveHeader* header) = 0;
    // The device has been closed.
    virtual void PostWaveClose() = 0;
    // The device failed while capturing (server gone, device unplugged).
    virtual void PostWaveError(const std::string& message) = 0;
    // The source has nothing more to give (the end of a file).
    virtual void PostWaveEnd() {}
};

class WaveInput {
public:
    virtual ~WaveInput();

    WaveInput(const WaveInput&) = delete;
    WaveInput& operator=(const WaveInput&) = delete;

    int Prepare(WaveHeader* header);
    int Unprepare(WaveHeader* header);
    int AddBuffer(WaveHeader* header);
    int Start();
    // Stops capture and returns every queued buffer as done, without
    // notifications: nothing analyses them any more. On return no delivery
    // or failure report is running, and none will run until Start.
    int Reset();
    // Stops the device as Reset does and posts the close notification.
    int Close();

    std::string ErrorText(int code) const { return lastMessage.TextFor(code); }
    // Frames that arrived while no buffer was queued.
    uint64_t DroppedFrames() const { return dropped.load(std::memory_order_relaxed); }
    const WaveFormat& Format() const { return format; }

protected:
    WaveInput(const WaveFormat& format, WaveNotifyTarget* target);

    // Backend: begin and end delivering frames. Before StopSource is called
    // the base has shut its gate: a Deliver or ReportFailure call still in
    // flight has finished and later ones do nothing, so a backend whose
    // thread outlives StopSource is harmless. A backend's destructor stops
    // its source and ends its thread itself.
    virtual int StartSource() = 0;
    virtual void StopSource() = 0;

    // Device thread: interleaved frames of Format(), copied into the queued
    // buffers in order.
    void Deliver(const int16_t* frames, size_t frameCount);
    // Device thread: capture has failed for good.
    void ReportFailure(const std::string& message);
    // Device thread: the source is exhausted; reported once.
    void ReportEnd();
    bool HasFailed() const { return failed.load(std::memory_order_acquire); }
    // Device thread: frames the head buffer still lacks; 0 while none is
    // queued or the gate is shut.
    size_t FramesToFillHead();
    // Records a device message and returns WaveErrorDevice.
    int DeviceError(const std::string& message) { return lastMessage.Record(message); }

private:
    static constexpr int QueueSlots = 8;

    WaveHeader* QueuedHead();
    void CompleteHead();
    // Opens or shuts the gate that Deliver, ReportFailure and ReportEnd pass; shutting
    // waits for a call in flight.
    void SetGate(bool open);
    void StopDelivery();

    WaveFormat format;
    WaveNotifyTarget* target;
    bool started = false;
    bool closed = false;

    // Single-producer (GUI thread: AddBuffer), single-consumer (device
    // thread: Deliver) queue of buffers in the order they were added.
    WaveHeader* queue[QueueSlots] = {};
    std::atomic<unsigned> queueHead{0};
    std::atomic<unsigned> queueTail{0};
    uint32_t fill = 0;  // bytes written into the head buffer
    std::atomic<uint64_t> dropped{0};
    std::atomic<bool> failed{false};

    // Held by the device thread for each delivery and failure report, and by
    // the GUI thread only to open or shut the gate.
    std::mutex gateLock;
    bool gateOpen = true;
    DeviceMessage lastMessage;
};

// Opens capture devices: one backend (a sound server, a file, a test source).
class WaveInputDriver {
public:
    virtual ~WaveInputDriver() = default;
    // WaveOk and an open device, or an error code whose text ErrorText gives.
    virtual int Open(std::unique_ptr<WaveInput>& device, const WaveFormat& format,
                     WaveNotifyTarget* target) = 0;
    std::string ErrorText(int code) const { return lastMessage.TextFor(code); }

protected:
    int DeviceError(const std::string& message) { return lastMessage.Record(message); }

private:
    DeviceMessage lastMessage;
};

// The text for an error code without a device message of its own.
std::string WaveErrorText(int code);
