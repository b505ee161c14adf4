#include <QAbstractButton>
#include <QButtonGroup>
#include <QContextMenuEvent>
#include <QFile>
#include <QImage>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <iterator>
#include <map>
#include <thread>

#include "app/capture_keeper.h"
#include "app/input_listing.h"
#include "app/picture_menu.h"
#include "display/frequency_scale.h"
#include "input/wave_file_input.h"
#include "tests/gui/main_window_fixture.h"
#include "ui/keyboard_dlg.h"
#include "ui/setting_dlg.h"

namespace {

class PictureMenu : public MainWindow {
protected:
    void TearDown() override
    {
        CAnalyzerDlg::SetFileChooser(nullptr);
        MainWindow::TearDown();
    }
    QString TempFile(const char* name) const { return QDir::temp().filePath(QString("tavi_%1_%2").arg(getpid()).arg(name)); }
    // Opens the menu's list of inputs and waits for the listing it starts.
    static void ListInputs(CAnalyzerDlg& w)
    {
        w.PictureMenu()->Refresh();
        for (int i = 0; i < 500 && w.InputListing()->Busy(); ++i)
            QTest::qWait(10);
    }
};

TEST_F(PictureMenu, EntriesFollowTheModeAndPauseBothWays)
{
    CAnalyzerDlg& w = Open();
    CPictureMenu* menu = w.PictureMenu();
    ASSERT_NE(menu, nullptr);
    QStringList modes;
    for (const QAction* a : menu->ModeMenu()->actions())
        modes << (a->isSeparator() ? QStringLiteral("-") : a->text());
    EXPECT_EQ(modes, QStringList({"2-D Spectrogram", "Constant-Q Spectrogram", "1-D Spectum", "LPC (experimental)",
                                  "Speech (experimental)", "1-D Spectum 2 (experimental)", "-", "Octave bands",
                                  "Transfer function"}));
    EXPECT_EQ(menu->SavePictureAction()->shortcut(), QKeySequence("Ctrl+S"));
    EXPECT_EQ(menu->ExportSpectrumAction()->shortcut(), QKeySequence("Ctrl+E"));
    EXPECT_FALSE(menu->FrequencyScaleAction()->isChecked()) << "off by default";
    QContextMenuEvent menuKey(QContextMenuEvent::Keyboard, QPoint(), QPoint());
    QApplication::sendEvent(&w, &menuKey);
    EXPECT_TRUE(menu->isVisible()) << "the Menu key opens it";
    menu->hide();

    CSettingDlg* panel = w.SettingsPanel();
    menu->ModeMenu()->actions()[2]->trigger();
    EXPECT_EQ(w.GetDisplayMode(), 2);
    EXPECT_EQ(panel->ModeGroup()->checkedId(), 2);
    menu->ModeMenu()->actions()[4]->trigger();
    EXPECT_EQ(w.GetDisplayMode(), 4);
    EXPECT_EQ(panel->ModeGroup()->checkedId(), -1) << "its button cannot show it";
    menu->Refresh();
    EXPECT_TRUE(menu->ModeMenu()->actions()[4]->isChecked());
    menu->ModeMenu()->actions()[7]->trigger();
    EXPECT_EQ(w.GetDisplayMode(), CRenderer::OctaveBands);
    EXPECT_EQ(panel->ModeGroup()->checkedId(), -1) << "ours: the panel shows none";

    auto* pauseButton = static_cast<QAbstractButton*>(panel->Control(CSettingDlg::PauseButton));
    menu->PauseAction()->trigger();
    EXPECT_TRUE(SharedSettings.Pause);
    EXPECT_TRUE(pauseButton->isChecked());
    QTest::mouseClick(pauseButton, Qt::LeftButton);
    EXPECT_FALSE(SharedSettings.Pause);
    menu->Refresh();
    EXPECT_FALSE(menu->PauseAction()->isChecked());
}

TEST_F(PictureMenu, FrequencyScaleFollowsTheAxisAndLeavesTheSurfaceAlone)
{
    Store({{"Check1", "1"}, {"Slider1", "40"}, {"Slider2", "70"}});
    CAnalyzerDlg& w = Open();
    for (int b = 0; b < 4; ++b) {
        PushSine(1000);
        Settle();
    }
    const QImage surface = static_cast<CImageDC*>(w.Surface())->Image().copy();
    const QImage plain = w.PictureArea()->grab().toImage();
    w.PictureMenu()->FrequencyScaleAction()->trigger();
    EXPECT_TRUE(w.FrequencyScale());
    EXPECT_EQ(profile->ReadInt("View", "FrequencyScale"), 1) << "kept for the next run";
    const QImage scaled = w.PictureArea()->grab().toImage();
    EXPECT_TRUE(static_cast<CImageDC*>(w.Surface())->Image() == surface) << "drawn over the picture only";
    EXPECT_FALSE(scaled == plain);

    // Tick rows against the logarithmic axis, at zoom 1 and zoomed in and
    // scrolled: surface row r of f, window row (h - r - t) * h / (b - t).
    const int h = w.PictureArea()->height();
    for (const auto& [zoom, offset] : {std::pair{1.0, 0}, std::pair{2.25, 60}}) {
        w.SetView(zoom, offset);
        const std::vector<ScaleTick> ticks = FrequencyScaleTicks(ScaleView{0, h, zoom, offset, 16});
        ASSERT_GE(ticks.size(), 3u) << zoom;
        const int b = h - offset, t = int(b - h / zoom);
        for (const ScaleTick& tick : ticks) {
            const double r = (std::log2(tick.frequency) - 5) * h / (std::log2(22050.0) - 5);
            EXPECT_NEAR(tick.y, (h - r - t) * h / (b - t), 0.5) << tick.label;
        }
        for (size_t i = 1; i < ticks.size(); ++i)
            EXPECT_GE(ticks[i].y - ticks[i - 1].y, 16) << "labels never overlap";
        const QImage shown = w.PictureArea()->grab().toImage();
        EXPECT_EQ(shown.pixelColor(2, ticks[0].y), QColor(255, 255, 255)) << "the tick line of " << ticks[0].label;
    }
    // The 1-D spectrum has its own axis: no scale.
    EXPECT_TRUE(FrequencyScaleTicks(ScaleView{2, h, 1.0, 0, 16}).empty());
}

TEST_F(PictureMenu, SwitchesTheInputAndKeepsTheOneInUseWhenANewOneFails)
{
    std::vector<ScriptedDriver*> opened;
    CAnalyzerDlg::InputChoice inputs;
    inputs.list = [] {
        return std::vector<InputDeviceDescription>{{"PulseAudio", "first", "First", true},
                                                   {"PulseAudio", "second", "Second", false},
                                                   {"ALSA", "broken", "Broken", false}};
    };
    inputs.open = [&](const std::string& name) {
        auto next = std::make_unique<ScriptedDriver>();
        if (name == "broken")
            next->openFailure = "Device or resource busy";
        opened.push_back(next.get());
        return std::unique_ptr<WaveInputDriver>(std::move(next));
    };
    profile->WriteString("Calibration", "second.offset", "110.00");  // the second input's calibration
    dialog = std::make_unique<CAnalyzerDlg>(*profile, &driver);
    dialog->SetInputChoice(inputs);
    CAnalyzerDlg& w = *dialog;
    w.OnInitDialog();
    w.show();
    CPictureMenu* menu = w.PictureMenu();
    ListInputs(w);
    EXPECT_FALSE(w.InputCalibrationInUse().calibrated);
    // The default input, a separator, then the devices.
    const QList<QAction*> devices = menu->InputMenu()->actions();
    ASSERT_EQ(devices.size(), 5);
    EXPECT_EQ(devices[0]->text(), "Default input (follows the desktop)");
    EXPECT_TRUE(devices[0]->isChecked());
    EXPECT_TRUE(devices[1]->isSeparator());
    EXPECT_EQ(devices[2]->text(), "PulseAudio: first (default)");
    EXPECT_FALSE(devices[2]->isChecked()) << "the default input is followed, not this source";

    devices[3]->trigger();
    ASSERT_EQ(opened.size(), 1u);
    ASSERT_NE(opened[0]->last, nullptr);
    EXPECT_TRUE(w.Engine().IsOpen());
    std::vector<int16_t> frames(2 * 2048, 1000);
    opened[0]->last->Push(frames);
    Settle();
    EXPECT_EQ(w.BlocksAnalysed(), 1) << "capture goes on with the new input";
    EXPECT_EQ(w.Inputs().current, "second");
    EXPECT_TRUE(w.InputCalibrationInUse().calibrated && w.InputCalibrationInUse().offset == 110.0)
        << "the input's own calibration";
    char stored[128];
    profile->ReadString("Input", "Device", stored, sizeof stored);
    EXPECT_STREQ(stored, "second") << "kept for the next run";
    EXPECT_EQ(w.InputInUse(), "second");
    ListInputs(w);
    EXPECT_TRUE(menu->InputMenu()->actions()[3]->isChecked());

    menu->InputMenu()->actions()[4]->trigger();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains("Device or resource busy"));
    EXPECT_TRUE(w.Engine().IsOpen()) << "the input in use goes on";
    EXPECT_EQ(opened[0]->opens, 2);
    opened[0]->last->Push(frames);
    Settle();
    EXPECT_EQ(w.BlocksAnalysed(), 2);
    EXPECT_EQ(w.Inputs().current, "second");

    menu->InputMenu()->actions()[0]->trigger();
    EXPECT_EQ(w.Inputs().current, "");
    EXPECT_EQ(profile->ReadString("Input", "Device", stored, sizeof stored), 0) << "no name is stored";
    std::ifstream ini(iniPath);
    const std::string text((std::istreambuf_iterator<char>(ini)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("Device=\n"), std::string::npos) << text;
}

// The devices are listed on a thread of their own: a listing that takes half
// a second, started by opening the menu during capture, holds up no buffer.
TEST_F(PictureMenu, OpeningTheMenuDuringCaptureDropsNoFrame)
{
    CAnalyzerDlg::InputChoice inputs;
    inputs.list = [] {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        return std::vector<InputDeviceDescription>{{"PulseAudio", "slow", "Slow", true}};
    };
    inputs.open = [](const std::string&) { return std::unique_ptr<WaveInputDriver>(std::make_unique<ScriptedDriver>()); };
    dialog = std::make_unique<CAnalyzerDlg>(*profile, &driver);
    dialog->SetInputChoice(inputs);
    CAnalyzerDlg& w = *dialog;
    w.OnInitDialog();
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    constexpr int Buffers = 36;  // 1.5 s
    std::atomic<bool> delivered{false};
    std::thread device([this, &delivered] {
        const std::vector<int16_t> frames(2 * 2048, 500);
        auto due = std::chrono::steady_clock::now();
        for (int b = 0; b < Buffers; ++b) {
            due += std::chrono::microseconds(42667);
            std::this_thread::sleep_until(due);
            driver.last->Push(frames);
        }
        delivered = true;
    });
    QTest::qWait(300);
    CPictureMenu* menu = w.PictureMenu();
    menu->popup(w.mapToGlobal(QPoint(20, 20)));
    QTest::qWait(1100);
    EXPECT_TRUE(menu->isVisible());
    const QList<QAction*> devices = menu->InputMenu()->actions();
    ASSERT_EQ(devices.size(), 3);
    EXPECT_EQ(devices[2]->text(), "PulseAudio: slow (default)") << "the list arrives with the menu open";
    menu->hide();
    while (!delivered)
        QTest::qWait(10);
    device.join();
    Settle();
    EXPECT_EQ(w.Engine().DroppedFrames(), 0u);
    EXPECT_EQ(w.BlocksAnalysed(), Buffers);
}

// A device chosen by name that is unplugged is tried again quietly; after 10
// seconds the default input stands in, with one message naming both, and
// once the device is listed again it is taken back.
TEST_F(PictureMenu, AnUnpluggedInputGivesWayToTheDefaultUntilItIsBack)
{
    std::atomic<bool> micPresent{true};
    std::map<std::string, ScriptedDriver*> opened;
    CAnalyzerDlg::InputChoice inputs;
    inputs.list = [&micPresent] {
        std::vector<InputDeviceDescription> devices{{"PulseAudio", "monitor", "Monitor", true}};
        if (micPresent)
            devices.push_back({"PulseAudio", "mic", "Mic", false});
        return devices;
    };
    inputs.open = [&](const std::string& name) {
        auto next = std::make_unique<ScriptedDriver>();
        opened[name] = next.get();
        return std::unique_ptr<WaveInputDriver>(std::move(next));
    };
    inputs.current = "mic";
    dialog = std::make_unique<CAnalyzerDlg>(*profile, &driver);  // the microphone
    dialog->SetInputChoice(inputs);
    CAnalyzerDlg& w = *dialog;
    w.OnInitDialog();
    w.show();
    ListInputs(w);

    micPresent = false;
    driver.openFailure = "PulseAudio has no source named \"mic\"";
    driver.last->Unplug("PulseAudio's source \"mic\" went away.");
    QTest::qWait(CCaptureKeeper::ReopenIntervalMs + 300);
    EXPECT_TRUE(messages.isEmpty()) << "not reported at once";
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Tavimeter \u2014 no sound input"));
    QTest::qWait(CCaptureKeeper::FallbackAfterMs);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains("mic") && messages[0].contains("monitor")) << messages[0].toStdString();
    EXPECT_EQ(w.InputInUse(), "") << "the default input stands in";
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Tavimeter"));
    ASSERT_EQ(opened.count(""), 1u);
    opened[""]->last->Push(std::vector<int16_t>(2 * 2048, 100));
    Settle();
    EXPECT_EQ(w.BlocksSinceStart(), 1);

    micPresent = true;
    QTest::qWait(CCaptureKeeper::ReopenIntervalMs + 500);
    EXPECT_EQ(w.InputInUse(), "mic") << "taken back";
    ASSERT_EQ(opened.count("mic"), 1u);
    opened["mic"]->last->Push(std::vector<int16_t>(2 * 2048, 100));
    Settle();
    EXPECT_EQ(w.BlocksSinceStart(), 1);
    EXPECT_EQ(messages.size(), 1) << "quietly";
    EXPECT_EQ(w.Inputs().current, "mic");
}

TEST_F(PictureMenu, AStoredInputThatIsGoneGivesWayToTheDefault)
{
    driver.openFailure = "No such device";
    ScriptedDriver* fallback = nullptr;
    CAnalyzerDlg::InputChoice inputs;
    inputs.open = [&](const std::string& name) {
        EXPECT_EQ(name, "");
        auto next = std::make_unique<ScriptedDriver>();
        fallback = next.get();
        return std::unique_ptr<WaveInputDriver>(std::move(next));
    };
    inputs.current = "unplugged";
    inputs.currentFromStore = true;
    dialog = std::make_unique<CAnalyzerDlg>(*profile, &driver);
    dialog->SetInputChoice(inputs);
    dialog->OnInitDialog();
    dialog->show();
    Settle();
    ASSERT_NE(fallback, nullptr);
    EXPECT_TRUE(dialog->Engine().IsOpen());
    EXPECT_FALSE(dialog->CaptureFailed());
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains("unplugged"));
}

TEST_F(PictureMenu, TheTitleSaysWhenAFileHasEnded)
{
    // Three buffers of a 48 kHz stereo 16-bit WAV file.
    const QString path = TempFile("three.wav");
    {
        const uint32_t bytes = 3 * 2048 * 4;
        QByteArray wav("RIFF");
        auto put32 = [&](uint32_t v) { wav.append(reinterpret_cast<const char*>(&v), 4); };
        auto put16 = [&](uint16_t v) { wav.append(reinterpret_cast<const char*>(&v), 2); };
        put32(36 + bytes);
        wav.append("WAVEfmt ");
        put32(16);
        put16(1);
        put16(2);
        put32(48000);
        put32(48000 * 4);
        put16(4);
        put16(16);
        wav.append("data");
        put32(bytes);
        wav.append(QByteArray(int(bytes), '\x10'));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(wav);
    }
    WaveFileDriver file(path.toStdString());
    dialog = std::make_unique<CAnalyzerDlg>(*profile, &file);
    dialog->SetInputName("three.wav");
    dialog->OnInitDialog();
    dialog->show();
    EXPECT_TRUE(QTest::qWaitFor([&] { return dialog->windowTitle().contains("end of"); }, 3000));
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Tavimeter \u2014 end of three.wav"));
    // A slow machine may drop a buffer the file delivered on time.
    EXPECT_EQ(dialog->BlocksAnalysed() + long(dialog->Engine().DroppedFrames() / 2048), 3);
    EXPECT_TRUE(messages.isEmpty());
    dialog.reset();
    QFile::remove(path);
}

TEST_F(PictureMenu, ShowTempoRunsTheDetectorAndShowsItsReadout)
{
    CAnalyzerDlg& w = Open();
    for (int b = 0; b < 3; ++b) {
        PushSine(1000);
        Settle();
    }
    const QImage before = w.PictureArea()->grab().toImage();
    auto* hiddenBox = static_cast<QAbstractButton*>(w.SettingsPanel()->Control(CSettingDlg::TempoDetectorCheck));
    EXPECT_FALSE(hiddenBox->isChecked());
    w.PictureMenu()->ShowTempoAction()->trigger();
    EXPECT_TRUE(SharedSettings.TempoDetector);
    EXPECT_TRUE(hiddenBox->isChecked()) << "kept in step";
    EXPECT_EQ(profile->ReadInt("View", "ShowTempo"), 1);
    EXPECT_EQ(w.TempoReadout(), QStringLiteral("\u2014 bpm")) << "a steady tone has no beat";
    const QImage after = w.PictureArea()->grab().toImage();
    const int width = after.width();
    bool topRightChanged = false, restSame = true;
    for (int y = 0; y < after.height(); y += 3)
        for (int x = 0; x < width; x += 3) {
            const bool differs = after.pixel(x, y) != before.pixel(x, y);
            if (x > width - 120 && y < 30)
                topRightChanged |= differs;
            else
                restSame &= !differs;
        }
    EXPECT_TRUE(topRightChanged) << "the readout in the top-right corner";
    EXPECT_TRUE(restSame) << "drawn over the picture there only";
    w.PictureMenu()->ShowTempoAction()->trigger();
    EXPECT_FALSE(SharedSettings.TempoDetector);
    EXPECT_FALSE(hiddenBox->isChecked());
}

TEST_F(PictureMenu, TheKeyboardShowsTheStrongestPitchClassOncePerBlock)
{
    CAnalyzerDlg& w = Open();
    CKeyboardDlg* keyboard = w.KeyboardWindow();
    w.PictureMenu()->ShowKeyboardAction()->trigger();
    EXPECT_TRUE(keyboard->isVisible());
    EXPECT_EQ(profile->ReadInt("View", "ShowKeyboard"), 1);
    auto strongest = [&] {
        return int(std::max_element(std::begin(keyboard->PitchLevels), std::end(keyboard->PitchLevels)) -
                   std::begin(keyboard->PitchLevels));
    };
    auto feed = [&](std::initializer_list<double> frequencies, int blocks) {
        std::vector<int16_t> frames(2 * 2048);
        for (int b = 0; b < blocks; ++b) {
            for (int i = 0; i < 2048; ++i) {
                double v = 0;
                for (const double f : frequencies)
                    v += 8000 * std::sin(2 * M_PI * f * (fed + i) / 48000.0);
                frames[2 * i] = frames[2 * i + 1] = int16_t(std::lround(v));
            }
            fed += 2048;
            driver.last->Push(frames);
            Settle();
        }
    };
    // The constant-Q frames read the history from nine to seventeen blocks
    // back: a new sound reaches them after eighteen.
    feed({440.0}, 18);
    const long before = keyboard->Paints();
    feed({440.0}, 5);
    EXPECT_EQ(strongest(), 9) << "A";
    EXPECT_EQ(keyboard->Paints() - before, 5) << "one paint a block while the levels change";

    feed({261.63, 329.63, 392.00}, 20);
    const float* levels = keyboard->PitchLevels;
    const int top = strongest();
    EXPECT_TRUE(top == 0 || top == 4 || top == 7) << top;
    for (int i = 0; i < 12; ++i)
        if (i != 0 && i != 4 && i != 7) {
            EXPECT_LT(levels[i], levels[0]) << i;
            EXPECT_LT(levels[i], levels[4]) << i;
            EXPECT_LT(levels[i], levels[7]) << i;
        }

    feed({}, 20);
    const long quiet = keyboard->Paints();
    feed({}, 5);
    EXPECT_EQ(keyboard->Paints(), quiet) << "no paint when nothing changed";
    const QImage picture = keyboard->Picture();
    EXPECT_EQ(picture.pixelColor(20 + 5 * 1 + 2, 21 + 5 * 8), QColor(128, 255, 255)) << "C framed on silence";

    w.PictureMenu()->ShowKeyboardAction()->trigger();
    EXPECT_FALSE(keyboard->isVisible());
}

// Escape and Enter leave the keyboard as they leave the panel; closing it
// from the desktop is the menu entry's second choice.
TEST_F(PictureMenu, TheKeyboardWindowAndItsEntryAgree)
{
    CAnalyzerDlg& w = Open();
    CKeyboardDlg* keyboard = w.KeyboardWindow();
    w.PictureMenu()->ShowKeyboardAction()->trigger();
    for (const Qt::Key key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter})
        QTest::keyClick(keyboard, key);
    EXPECT_TRUE(keyboard->isVisible());
    EXPECT_TRUE(w.ShowKeyboard());

    keyboard->close();
    EXPECT_FALSE(keyboard->isVisible());
    EXPECT_FALSE(w.ShowKeyboard());
    EXPECT_FALSE(w.Engine().ConstantQWanted()) << "no constant-Q pass for nobody";
    EXPECT_EQ(profile->ReadInt("View", "ShowKeyboard"), 0);
    w.PictureMenu()->Refresh();
    EXPECT_FALSE(w.PictureMenu()->ShowKeyboardAction()->isChecked());
}

} // namespace
