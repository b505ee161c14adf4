#include "tests/analysis/engine_fixture.h"

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int F = CWaveCapture::FramesPerBuffer;
constexpr int Newest = CWaveCapture::HistoryLength - F;

using History = EngineTest;

TEST_F(History, EachBufferShiftsTheHistoryByOneBuffer)
{
    SharedSettings.Stereo = 1;
    FeedConstant(100, -100);
    FeedConstant(200, -200);
    const int16_t* h0 = engine.GetSampleHistory(0);
    const int16_t* h1 = engine.GetSampleHistory(1);
    EXPECT_EQ(h0[Newest - F - 1], 0);
    EXPECT_EQ(h0[Newest - F], 100);
    EXPECT_EQ(h0[Newest - 1], 100);
    EXPECT_EQ(h0[Newest], 200);
    EXPECT_EQ(h0[CWaveCapture::HistoryLength - 1], 200);
    EXPECT_EQ(h1[Newest - F], -100);
    EXPECT_EQ(h1[Newest], -200);
}

TEST_F(History, MonoMixHalvesEachChannelBeforeTheSum)
{
    const struct {
        int16_t left, right, mixed;
    } cases[] = {{-3, -3, -2}, {1, 1, 0}, {32767, 32767, 32766}, {-32768, -32768, -32768}, {7, -2, 2}};
    for (const auto& c : cases) {
        FeedConstant(c.left, c.right);
        EXPECT_EQ(engine.GetSampleHistory(0)[Newest], c.mixed) << c.left << " " << c.right;
    }
}

TEST_F(History, MonoLeavesChannelOneAloneAndStereoResumesFromIt)
{
    SharedSettings.Stereo = 1;
    FeedConstant(1, 11);
    SharedSettings.Stereo = 0;
    FeedConstant(2, 22);
    FeedConstant(3, 33);
    const int16_t* h1 = engine.GetSampleHistory(1);
    EXPECT_EQ(h1[Newest], 11) << "channel 1 is neither shifted nor written in mono";
    EXPECT_EQ(h1[Newest - 1], 0);
    SharedSettings.Stereo = 1;
    FeedConstant(4, 44);
    EXPECT_EQ(h1[Newest - F], 11);
    EXPECT_EQ(h1[Newest], 44);
    EXPECT_EQ(engine.GetSampleHistory(0)[Newest - F], (3 / 2 + 33 / 2));
}

TEST_F(History, UpdateWithoutDeviceChangesNothing)
{
    FeedConstant(6, 6);
    engine.Close();
    EXPECT_EQ(engine.UpdateHistory(), -1);
    EXPECT_EQ(engine.GetSampleHistory(0)[Newest], 6);
    EXPECT_EQ(engine.ProcessBlock(), 0);
}

using Device = EngineTest;

// A consumer that records what it was handed.
struct Recorder : BlockConsumer {
    Recorder(std::vector<std::string>& order, const char* name, bool spectra) : order(order), name(name), spectra(spectra) {}
    bool WantsSpectra() const override { return spectra; }
    void Consume(const AnalysedBlock& b) override
    {
        order.push_back(name);
        last = b;
        firstSample = b.interleaved[0];
    }
    std::vector<std::string>& order;
    const char* name;
    bool spectra;
    AnalysedBlock last;
    int16_t firstSample = 0;
};

// Consumers are handed each block after the engine's passes, in the order
// they were added, with the block as captured and its index; the spectra
// where the block's analysis computed them, or because one wants them (the
// constant-Q view skips the linear pass).
TEST_F(History, ConsumersAreHandedEachBlockInTheOrderTheyWereAdded)
{
    std::vector<std::string> order;
    Recorder first(order, "first", false), second(order, "second", false);
    engine.AddConsumer(&second);
    engine.AddConsumer(&first);
    engine.AddConsumer(&second);  // once only
    FeedConstant(100, -300);
    EXPECT_EQ(order, (std::vector<std::string>{"second", "first"}));
    EXPECT_EQ(first.last.frames, F);
    EXPECT_EQ(first.firstSample, 100);
    EXPECT_EQ(first.last.channel0[0], -100) << "the mono mix";
    EXPECT_EQ(first.last.spectra[0], engine.GetSpectrum(0) + CWaveCapture::SecondSpectrum);
    EXPECT_EQ(first.last.spectra[1], nullptr) << "mono";
    displayMode = 1;
    FeedConstant(0, 0);
    EXPECT_EQ(first.last.index, 1);
    EXPECT_EQ(first.last.spectra[0], nullptr) << "not computed in the constant-Q view";
    Recorder wanting(order, "wanting", true);
    engine.AddConsumer(&wanting);
    engine.RemoveConsumer(&second);
    order.clear();
    FeedConstant(0, 0);
    EXPECT_EQ(order, (std::vector<std::string>{"first", "wanting"}));
    EXPECT_NE(first.last.spectra[0], nullptr) << "computed for the one that wants them";
    engine.RemoveConsumer(&first);
    engine.RemoveConsumer(&wanting);
}

TEST_F(Device, StartWithoutNotifyWindowOpensNothing)
{
    ScriptedDriver otherDriver;
    CWaveCapture other(&otherDriver);
    EXPECT_EQ(other.Start(), 0);
    EXPECT_EQ(otherDriver.opens, 0);
    EXPECT_FALSE(other.IsOpen());
}

TEST_F(Device, CloseTwiceIsHarmless)
{
    ASSERT_TRUE(engine.IsOpen());
    EXPECT_EQ(engine.Close(), 0);
    EXPECT_FALSE(engine.IsOpen());
    EXPECT_EQ(engine.Close(), 0);
    EXPECT_EQ(target.closes, 1);
}

TEST_F(Device, NotificationsAlternateBetweenTheTwoBuffers)
{
    std::vector<int16_t> frames(2 * F, 0);
    driver.last->Push(frames);
    ASSERT_EQ(target.data.size(), 1u);
    engine.ProcessBlock();
    driver.last->Push(frames);
    engine.ProcessBlock();
    driver.last->Push(frames);
    ASSERT_EQ(target.data.size(), 3u);
    EXPECT_NE(target.data[0], target.data[1]);
    EXPECT_EQ(target.data[0], target.data[2]);
    EXPECT_EQ(engine.CurrentBuffer(), 0);
    EXPECT_EQ(driver.last->DroppedFrames(), 0u);
}

TEST_F(Device, ProcessBlockQueuesTheBufferAgain)
{
    std::vector<int16_t> frames(2 * F, 0);
    driver.last->Push(frames);
    driver.last->Push(frames);
    driver.last->Push(frames);
    EXPECT_EQ(target.data.size(), 2u);
    EXPECT_EQ(driver.last->DroppedFrames(), uint64_t(F)) << "no buffer was queued for the third";
    engine.ProcessBlock();
    driver.last->Push(frames);
    EXPECT_EQ(target.data.size(), 3u);
    EXPECT_EQ(driver.last->DroppedFrames(), uint64_t(F));
}

TEST_F(Device, ANotificationForAnUnfilledBufferIsIgnored)
{
    FeedConstant(9, 9);
    EXPECT_EQ(engine.CurrentBuffer(), 1);
    engine.ProcessBlock();  // stale: buffer 1 is still with the device
    EXPECT_EQ(engine.CurrentBuffer(), 1);
}

TEST_F(Device, FailedRequeueRaisesWithTheDeviceTextAndKeepsTheIndex)
{
    std::vector<int16_t> frames(2 * F, 0);
    driver.last->Push(frames);
    driver.last->Unplug("Connection terminated");
    ASSERT_EQ(target.errors.size(), 1u);
    EXPECT_EQ(target.errors[0], "Connection terminated");
    try {
        engine.ProcessBlock();
        FAIL() << "no error raised";
    } catch (const CaptureError& e) {
        EXPECT_EQ(e.Code(), -1);
        EXPECT_STREQ(e.what(), "Connection terminated");
    }
    EXPECT_EQ(engine.CurrentBuffer(), 0);
    engine.Close();
}

TEST_F(Device, FailedStartsReleaseEverythingAndRaise)
{
    engine.Close();
    driver.openFailure = "No such device";
    EXPECT_THROW(
        {
            try {
                engine.Start();
            } catch (const CaptureError& e) {
                EXPECT_STREQ(e.what(), "No such device");
                throw;
            }
        },
        CaptureError);
    EXPECT_FALSE(engine.IsOpen());

    driver.openFailure.clear();
    driver.failFromStart = "Device unplugged";
    EXPECT_THROW(engine.Start(), CaptureError);
    EXPECT_FALSE(engine.IsOpen());

    driver.failFromStart.clear();
    driver.startResult = WaveErrorDevice;
    EXPECT_THROW(engine.Start(), CaptureError);
    EXPECT_FALSE(engine.IsOpen());
    EXPECT_EQ(engine.Close(), 0);

    driver.startResult = WaveOk;
    EXPECT_EQ(engine.Start(), 0);
    EXPECT_TRUE(engine.IsOpen());
}

// A device whose thread delivers as fast as it can and whose stop, like
// RtAudio's abortStream, does not wait for a delivery in flight: the thread
// only checks the stop between deliveries and ends with the device.
class FreeRunningInput : public WaveInput {
public:
    FreeRunningInput(const WaveFormat& format, WaveNotifyTarget* target) : WaveInput(format, target) {}
    ~FreeRunningInput() override
    {
        quit = true;
        if (thread.joinable())
            thread.join();
    }

protected:
    int StartSource() override
    {
        running = true;
        if (!thread.joinable())
            thread = std::thread([this] { Run(); });
        return WaveOk;
    }
    void StopSource() override { running = false; }

private:
    void Run()
    {
        const std::vector<int16_t> frames(2 * 512, 7);
        while (!quit) {
            if (running)
                Deliver(frames.data(), 512);
        }
    }

    std::atomic<bool> running{false};
    std::atomic<bool> quit{false};
    std::thread thread;
};

class FreeRunningDriver : public WaveInputDriver {
public:
    int Open(std::unique_ptr<WaveInput>& device, const WaveFormat& format, WaveNotifyTarget* target) override
    {
        device = std::make_unique<FreeRunningInput>(format, target);
        return WaveOk;
    }
};

TEST(DeviceStop, WaitsForADeliveryInFlightBeforeTheBuffersAreFreed)
{
    // Without the wait the device thread copies into freed buffers: the
    // sanitizer runs report it.
    FreeRunningDriver driver;
    RecordingTarget target;
    CWaveCapture engine(&driver);
    engine.SetNotifyWindow(&target);
    auto notifications = [&] {
        std::lock_guard<std::mutex> lock(target.mutex);
        return target.data.size();
    };
    for (int cycle = 0; cycle < 300; ++cycle) {
        const size_t before = notifications();
        ASSERT_EQ(engine.Start(), 0);
        while (notifications() == before)
            std::this_thread::yield();
        // Each buffer queued again is filled at once, and the close comes
        // while the thread copies into it.
        for (int block = 0; block < cycle % 3; ++block)
            engine.ProcessBlock();
        engine.Close();
    }
    EXPECT_GE(notifications(), 300u);
}

} // namespace
