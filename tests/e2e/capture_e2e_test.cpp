#include <cstring>
#include <filesystem>
#include <random>

#include "analysis/wave_capture.h"
#include "analysis/transfer_measurement.h"
#include "input/pulse_output.h"
#include "input/sound_input_driver.h"
#include "input/wave_file_input.h"
#include "settings/shared_settings.h"
#include "tests/e2e/pulse_fixture.h"

namespace {

using Clock = std::chrono::steady_clock;

class CaptureThroughServer : public ::testing::Test {
protected:
    void SetUp() override
    {
        SharedSettings = Settings();
        ASSERT_TRUE(server.Running()) << "the private PulseAudio server did not start";
        feeder = std::make_unique<Feeder>(server.Address(), Feeder::Silence(), 60.0);
        engine.SetNotifyWindow(&target);
    }
    void TearDown() override
    {
        engine.Close();
        feeder.reset();
        SharedSettings = Settings();
    }

    // Runs until `done` holds after a block, or `seconds` have passed.
    bool RunUntil(double seconds, const std::function<bool()>& done)
    {
        bool reached = false;
        const auto end = Clock::now() + std::chrono::milliseconds(long(seconds * 1000));
        while (!reached && Clock::now() < end) {
            if (target.Wait(std::chrono::milliseconds(200)) != QueueTarget::Data)
                continue;
            engine.ProcessBlock();
            reached = done();
        }
        return reached;
    }

    // Takes notifications for `seconds` as the main window would, calling
    // `onBlock` after each analysed block.
    int Run(double seconds, const std::function<void()>& onBlock = {})
    {
        int blocks = 0;
        const auto end = Clock::now() + std::chrono::milliseconds(long(seconds * 1000));
        while (Clock::now() < end) {
            const auto event = target.Wait(std::chrono::milliseconds(200));
            if (event == QueueTarget::Error)
                ADD_FAILURE() << "device error: " << target.ErrorText();
            if (event != QueueTarget::Data)
                continue;
            engine.ProcessBlock();
            ++blocks;
            if (onBlock)
                onBlock();
        }
        return blocks;
    }

    static int PeakBin(const float* spectrum)
    {
        int peak = 1;
        for (int k = 2; k < 4096; ++k)
            if (spectrum[k] > spectrum[peak])
                peak = k;
        return peak;
    }

    static Feeder::Generator Tone(double frequency, bool left, bool right)
    {
        return [=](long n, int16_t& l, int16_t& r) {
            const int16_t v = int16_t(std::lround(16000 * std::sin(2 * M_PI * frequency * n / 48000.0)));
            l = left ? v : 0;
            r = right ? v : 0;
        };
    }

    PulseServer server;
    std::unique_ptr<Feeder> feeder;
    QueueTarget target;
    SoundInputDriver driver;
    CWaveCapture engine{&driver};
};

TEST_F(CaptureThroughServer, BlocksArriveAtTheBufferRateWithoutDrops)
{
    ASSERT_EQ(engine.Start(), 0);
    // The server takes a while to bring the new stream up to speed.
    ASSERT_TRUE(RunUntil(5.0, [] { return true; })) << "no block arrived";
    Run(2.0);
    const uint64_t droppedBefore = engine.Device()->DroppedFrames();
    const auto start = Clock::now();
    const int blocks = Run(5.0);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    EXPECT_NEAR(blocks / seconds, 23.4375, 1.0);
    EXPECT_EQ(engine.Device()->DroppedFrames(), droppedBefore);
}

TEST_F(CaptureThroughServer, SineIsFoundInItsGridBinForEachSize)
{
    SharedSettings.Stereo = 1;
    SharedSettings.WindowSize = 8192;
    feeder->SetGenerator(Tone(1000.0, true, true));
    ASSERT_EQ(engine.Start(), 0);
    ASSERT_TRUE(RunUntil(5.0, [&] { return engine.GetSpectrum(0)[171] > 1000.0f; })) << "the tone never arrived";
    for (const auto& [size, bin] : {std::pair{8192, 171}, std::pair{4096, 170}, std::pair{512, 176}}) {
        SharedSettings.WindowSize = size;
        int checked = 0;
        std::vector<std::string> misses;
        Run(1.0, [&, size = size, bin = bin] {
            for (int channel : {0, 1}) {
                for (const int position : {0, 8192}) {
                    const int peak = PeakBin(engine.GetSpectrum(channel) + position);
                    if (peak != bin)
                        misses.push_back("channel " + std::to_string(channel) + " at " + std::to_string(position) +
                                         ": bin " + std::to_string(peak));
                }
            }
            ++checked;
        });
        EXPECT_GT(checked, 15) << size;
        // A block that takes in an underrun of the client feeding the server
        // (the rectangular window shows its step) may miss, all four spectra
        // of it at most.
        EXPECT_LE(misses.size(), 4u) << "size " << size << ": " << ::testing::PrintToString(misses);
    }
}

TEST_F(CaptureThroughServer, EachChannelCarriesOnlyItsOwnSignal)
{
    SharedSettings.Stereo = 1;
    SharedSettings.WindowSize = 8192;
    ASSERT_EQ(engine.Start(), 0);
    for (const bool leftOnly : {true, false}) {
        feeder->SetGenerator(Tone(1000.0, leftOnly, !leftOnly));
        const int channel = leftOnly ? 0 : 1;
        ASSERT_TRUE(RunUntil(5.0, [&] {
            return engine.GetSpectrum(channel)[171] > 1000.0f && engine.GetSpectrum(1 - channel)[171] < 1.0f;
        })) << (leftOnly ? "left only" : "right only");
        int blocks = 0, weak = 0;
        Run(0.5, [&] {
            const float* loud = engine.GetSpectrum(leftOnly ? 0 : 1);
            const float* quiet = engine.GetSpectrum(leftOnly ? 1 : 0);
            ++blocks;
            weak += !(loud[171] > 1000.0f);
            EXPECT_LE(quiet[171], loud[171] * 1e-3f) << (leftOnly ? "left only" : "right only");
        });
        // A block that takes in an underrun of the feeding client (zeros in
        // both channels) is weaker; under load there may be two such.
        EXPECT_LE(weak, 2) << "of " << blocks << (leftOnly ? " left only" : " right only");
    }
}

// The default input and a named source are the ones recorded, whatever
// else the server has.
TEST_F(CaptureThroughServer, TheDefaultAndANamedSourceAreTheOnesRecorded)
{
    ASSERT_EQ(std::system("pactl load-module module-null-sink sink_name=tavi_second rate=48000 "
                          "sink_properties=device.description=Second >/dev/null"),
              0);
    feeder->SetGenerator(Tone(1000.0, true, true));
    Feeder second(server.Address(), Tone(3000.0, true, true), 30.0, "tavi_second");
    SharedSettings.WindowSize = 8192;
    const struct {
        const char* source;
        int bin;
    } cases[] = {{"", 171}, {"tavi_second.monitor", 512}, {"tavi_null.monitor", 171}};
    for (const auto& c : cases) {
        SoundInputDriver named(c.source);
        engine.SetDriver(&named);
        ASSERT_EQ(engine.Start(), 0) << c.source;
        // The analysis window spans four blocks: those still holding the
        // source before go by first.
        int started = 0;
        RunUntil(5.0, [&] { return ++started == 4; });
        EXPECT_TRUE(RunUntil(5.0, [&] { return PeakBin(engine.GetSpectrum(0)) == c.bin; }))
            << "source \"" << c.source << "\": peak at bin " << PeakBin(engine.GetSpectrum(0));
        int blocks = 0, elsewhere = 0, otherSource = 0;
        Run(1.0, [&] {
            const int peak = PeakBin(engine.GetSpectrum(0));
            ++blocks;
            elsewhere += peak != c.bin;
            otherSource += peak == (c.bin == 171 ? 512 : 171);
        });
        EXPECT_EQ(otherSource, 0) << c.source << ": of " << blocks << " blocks";
        // A block that takes in underruns of the feeding client is weaker, or
        // silent; under load (the sanitizer run) there may be a few such.
        EXPECT_LE(elsewhere, blocks / 4) << c.source << ": of " << blocks << " blocks";
        engine.Close();
    }
    engine.SetDriver(&driver);
}

// A source unplugged while it is recorded (its module unloaded) and the
// server dying are both reported, and the device still closes at once.
TEST_F(CaptureThroughServer, AVanishingSourceOrServerIsReportedAndClosesCleanly)
{
    std::string module;
    if (FILE* out = popen("pactl load-module module-null-sink sink_name=tavi_unplugged rate=48000", "r")) {
        char line[32] = {};
        if (std::fgets(line, sizeof line, out))
            module = std::to_string(std::atoi(line));
        pclose(out);
    }
    ASSERT_FALSE(module.empty()) << "no second sink";
    const struct {
        const char* what;
        const char* source;
        std::function<void()> vanish;
    } cases[] = {
        {"source", "tavi_unplugged.monitor", [&] { std::system(("pactl unload-module " + module).c_str()); }},
        {"server", "", [this] { server.Kill(); }},
    };
    for (const auto& c : cases) {
        SoundInputDriver named(c.source);
        engine.SetDriver(&named);
        ASSERT_EQ(engine.Start(), 0) << c.what;
        Run(1.0);
        c.vanish();
        QueueTarget::Event event = QueueTarget::None;
        const auto deadline = Clock::now() + std::chrono::seconds(10);
        while (Clock::now() < deadline && event != QueueTarget::Error) {
            event = target.Wait(std::chrono::milliseconds(200));
            if (event == QueueTarget::Data)
                engine.ProcessBlock();
        }
        ASSERT_EQ(event, QueueTarget::Error) << "no notification after the " << c.what << " vanished";
        EXPECT_FALSE(target.ErrorText().empty());
        const auto closing = Clock::now();
        engine.Close();
        EXPECT_LT(Clock::now() - closing, std::chrono::seconds(2)) << c.what;
        EXPECT_FALSE(engine.IsOpen()) << c.what;
    }
    engine.SetDriver(&driver);
    server.Stop();
}

TEST_F(CaptureThroughServer, OpensAndClosesTwoHundredTimesWhileAToneIsCaptured)
{
    // Each close comes at another moment: before the stream runs, while the
    // device thread copies into a buffer, between buffers. Stopping must
    // wait for a copy in flight before the buffers are freed.
    feeder->SetGenerator(Tone(1000.0, true, true));
    std::mt19937 random(20261207);
    int blocks = 0;
    for (int cycle = 0; cycle < 200; ++cycle) {
        ASSERT_EQ(engine.Start(), 0) << "cycle " << cycle;
        const auto closeAt = Clock::now() + std::chrono::milliseconds(random() % 90);
        while (Clock::now() < closeAt) {
            if (target.Wait(std::chrono::milliseconds(2)) != QueueTarget::Data)
                continue;
            const int before = engine.CurrentBuffer();
            engine.ProcessBlock();
            blocks += engine.CurrentBuffer() != before;
        }
        engine.Close();
        ASSERT_FALSE(engine.IsOpen());
    }
    EXPECT_GT(blocks, 20) << "the cycles captured and analysed blocks";
}

TEST(CaptureWithoutServer, StartGivesAClearErrorAndOpensNothing)
{
    setenv("PULSE_SERVER", "unix:/nonexistent/tavimeter/native", 1);
    QueueTarget target;
    SoundInputDriver driver;
    CWaveCapture engine(&driver);
    engine.SetNotifyWindow(&target);
    try {
        engine.Start();
        ADD_FAILURE() << "capture started without a server";
    } catch (const CaptureError& e) {
        EXPECT_EQ(e.Code(), -1);
        EXPECT_NE(std::string(e.what()).find("PulseAudio"), std::string::npos) << e.what();
    }
    EXPECT_FALSE(engine.IsOpen());
    EXPECT_EQ(engine.Close(), 0);
}

void WriteWave(const std::string& path, const std::vector<int16_t>& stereo)
{
    std::ofstream out(path, std::ios::binary);
    auto u32 = [&](uint32_t v) { out.write(reinterpret_cast<const char*>(&v), 4); };
    auto u16 = [&](uint16_t v) { out.write(reinterpret_cast<const char*>(&v), 2); };
    const uint32_t bytes = uint32_t(stereo.size() * 2);
    out.write("RIFF", 4);
    u32(36 + bytes);
    out.write("WAVEfmt ", 8);
    u32(16);
    u16(1);
    u16(2);
    u32(48000);
    u32(192000);
    u16(4);
    u16(16);
    out.write("data", 4);
    u32(bytes);
    out.write(reinterpret_cast<const char*>(stereo.data()), bytes);
}

TEST_F(CaptureThroughServer, WaveFileGivesTheSpectraOfTheSameSamplesThroughTheServer)
{
    // Two tones on whole bins of the 8192-point grid: every block's
    // rectangular-window magnitudes are the same wherever a block starts.
    auto generator = [](long n, int16_t& l, int16_t& r) {
        l = int16_t(std::lround(9000 * std::sin(2 * M_PI * 171 * n / 8192.0)));
        r = int16_t(std::lround(7000 * std::sin(2 * M_PI * 512 * n / 8192.0)));
    };
    SharedSettings.Stereo = 1;
    SharedSettings.WindowSize = 8192;
    std::vector<int16_t> samples(2 * 48000 * 3);
    for (long n = 0; n < 48000 * 3; ++n)
        generator(n, samples[2 * n], samples[2 * n + 1]);
    const std::string path = ::testing::TempDir() + "tavi_e2e_tones.wav";
    WriteWave(path, samples);

    std::vector<float> served[2];
    feeder->SetGenerator(generator);
    ASSERT_EQ(engine.Start(), 0);
    // Once two blocks in a row agree, the tones fill the whole window.
    std::vector<float> previous(4096, 0.0f);
    ASSERT_TRUE(RunUntil(6.0, [&] {
        const float* now = engine.GetSpectrum(0);
        const bool steady = now[171] > 1000.0f && std::fabs(now[171] - previous[171]) < 1e-3f * now[171];
        previous.assign(now, now + 4096);
        return steady;
    }));
    for (int c = 0; c < 2; ++c)
        served[c].assign(engine.GetSpectrum(c), engine.GetSpectrum(c) + 4096);
    engine.Close();

    WaveFileDriver fileDriver(path);
    QueueTarget fileTarget;
    CWaveCapture fileEngine(&fileDriver);
    fileEngine.SetNotifyWindow(&fileTarget);
    ASSERT_EQ(fileEngine.Start(), 0);
    int blocks = 0;
    while (fileTarget.Wait(std::chrono::milliseconds(500)) == QueueTarget::Data) {
        fileEngine.ProcessBlock();
        ++blocks;
    }
    EXPECT_EQ(blocks, 48000 * 3 / 2048) << "every whole buffer of the file, then nothing";
    for (int c = 0; c < 2; ++c) {
        const float* fromFile = fileEngine.GetSpectrum(c);
        const float peak = *std::max_element(served[c].begin(), served[c].end());
        EXPECT_GT(peak, 800.0f);
        for (int k = 0; k < 4096; ++k)
            ASSERT_NEAR(fromFile[k], served[c][k], 2e-3 * peak) << "channel " << c << ", bin " << k;
    }
    fileEngine.Close();
    std::remove(path.c_str());
}

// The generator's playback stream to the default sink, recorded from its
// monitor by the capture: both streams on one PulseAudio loop and thread;
// the recording reads the generator's -20 dBFS, with no underrun, and what
// the stream kept as played is the sine.
TEST_F(CaptureThroughServer, TheGeneratorPlaysOnTheCapturesLoop)
{
    struct LeftRms : BlockConsumer {
        double sum = 0;
        long count = 0;
        void Consume(const AnalysedBlock& block) override
        {
            for (int i = 0; i < block.frames; ++i)
                sum += double(block.interleaved[2 * i]) * block.interleaved[2 * i];
            count += block.frames;
        }
        double Dbfs() const { return 10 * std::log10(2 * sum / count / (32768.0 * 32768.0)); }
    } recorded;
    engine.AddConsumer(&recorded);
    GeneratorSettings settings;
    settings.signal = GeneratorSignal::Sine;
    settings.levelDbfs = -20.0;
    std::string message;
    std::unique_ptr<CPulseOutput> output = CPulseOutput::Open("", settings, message);
    ASSERT_TRUE(output) << message;
    output->Start();
    ASSERT_EQ(engine.Start(), 0);
    ASSERT_TRUE(RunUntil(5.0, [] { return true; })) << "no block arrived";
    Run(1.0);
    recorded = LeftRms();
    Run(2.0);
    EXPECT_NEAR(recorded.Dbfs(), -20.0, 0.05);
    EXPECT_EQ(output->Now().underruns, 0);
    EXPECT_EQ(output->Now().failure, "");
    int loopThreads = 0;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        std::ifstream comm(task.path() / "comm");
        std::string name;
        if (comm && std::getline(comm, name) && name == "PulseAudio in")
            ++loopThreads;
    }
    EXPECT_EQ(loopThreads, 1) << "one loop for the capture and the generator";
    std::vector<float> played(4800);
    output->TakePlayed(int(played.size()), played.data());
    double sum = 0;
    for (float v : played)
        sum += double(v) * v;
    EXPECT_NEAR(10 * std::log10(2 * sum / played.size()), -20.0, 0.01);
    engine.RemoveConsumer(&recorded);
}

// The generator as the transfer view's reference, the null sink's monitor
// as its measurement: the loop's delay is found (against the timeline the
// reference is taken from: it may be none), and with it removed the system
// (a sink that plays what it is given) reads 0 dB, coherent.
TEST_F(CaptureThroughServer, TheGeneratorsLoopIsMeasuredThroughTheServer)
{
    GeneratorSettings settings;
    settings.levelDbfs = -20.0;
    std::string message;
    std::unique_ptr<CPulseOutput> output = CPulseOutput::Open("", settings, message);
    ASSERT_TRUE(output) << message;
    output->Start();
    CTransferMeasurement transfer;
    transfer.SetSources(TransferSource::Generator, TransferSource::LeftInput);
    transfer.SetGeneratorFrames([&](uint64_t skipped, int frames, float* out) {
        output->TakePlayed(frames, out, skipped);
        return true;
    });
    transfer.SetWanted(true);
    engine.AddConsumer(&transfer);
    ASSERT_EQ(engine.Start(), 0);
    ASSERT_TRUE(RunUntil(5.0, [] { return true; })) << "no block arrived";
    Run(2.5);
    const FoundDelay found = transfer.FindDelay();
    ASSERT_TRUE(found.found);
    EXPECT_GT(found.peak, 0.5);
    transfer.SetDelay(found.samples);
    Run(3.0);
    int checked = 0;
    for (const TransferPoint& p : TransferCurve(transfer.Transfer(), 6, 100.0, 10000.0)) {
        EXPECT_NEAR(p.magnitudeDb, 0.0, 0.2) << p.frequency << " Hz";
        EXPECT_GT(p.coherence, 0.95) << p.frequency << " Hz";
        ++checked;
    }
    EXPECT_GT(checked, 3000);
    engine.RemoveConsumer(&transfer);
}

} // namespace
