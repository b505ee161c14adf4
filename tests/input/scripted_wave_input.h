#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "input/wave_input.h"

// A capture device whose frames the test hands over itself, on the thread
// that calls Push, through the same queue and gate a sound device uses.
class ScriptedWaveInput : public WaveInput {
public:
    ScriptedWaveInput(const WaveFormat& format, WaveNotifyTarget* target, int startResult,
                      std::string failOnStart = std::string())
        : WaveInput(format, target), startResult(startResult), failOnStart(std::move(failOnStart))
    {
    }

    void Push(const std::vector<int16_t>& interleaved) { Deliver(interleaved.data(), interleaved.size() / 2); }
    void Unplug(const std::string& message) { ReportFailure(message); }
    int StartSource() override
    {
        if (startResult != WaveOk)
            return DeviceError("the source would not start");
        // Started, and lost at once, as a server that goes away just then.
        if (!failOnStart.empty())
            ReportFailure(failOnStart);
        return WaveOk;
    }
    void StopSource() override {}

private:
    int startResult;
    std::string failOnStart;
};

class ScriptedDriver : public WaveInputDriver {
public:
    int Open(std::unique_ptr<WaveInput>& device, const WaveFormat& format, WaveNotifyTarget* target) override
    {
        ++opens;
        if (!openFailure.empty())
            return DeviceError(openFailure);
        auto input = std::make_unique<ScriptedWaveInput>(format, target, startResult, failOnStart);
        last = input.get();
        if (!failFromStart.empty())
            last->Unplug(failFromStart);
        device = std::move(input);
        return WaveOk;
    }

    int opens = 0;
    std::string openFailure;    // Open fails with this message
    std::string failFromStart;  // the device fails before its first buffer
    std::string failOnStart;    // the device starts and fails at once
    int startResult = WaveOk;
    ScriptedWaveInput* last = nullptr;
};

// Records the notifications as the main window would receive them.
class RecordingTarget : public WaveNotifyTarget {
public:
    void PostWaveData(WaveHeader* header) override
    {
        std::lock_guard<std::mutex> lock(mutex);
        data.push_back(header);
    }
    void PostWaveClose() override
    {
        std::lock_guard<std::mutex> lock(mutex);
        ++closes;
    }
    void PostWaveError(const std::string& message) override
    {
        std::lock_guard<std::mutex> lock(mutex);
        errors.push_back(message);
    }

    std::mutex mutex;
    std::vector<WaveHeader*> data;
    int closes = 0;
    std::vector<std::string> errors;
};
