#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QScreen>
#include <QAbstractButton>
#include <QComboBox>
#include <QScrollBar>
#include <QSlider>
#include <QTest>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "app/analyzer_dlg.h"
#include "app/capture_keeper.h"
#include "framework/dialog_builder.h"
#include "framework/qt_drawing_context.h"
#include "settings/shared_settings.h"
#include "store/profile.h"
#include "tests/input/scripted_wave_input.h"
#include "tests/gui/main_window_fixture.h"
#include "ui/keyboard_dlg.h"
#include "ui/setting_dlg.h"

namespace {

TEST_F(MainWindow, BuildsFromItsTemplate)
{
    CAnalyzerDlg& w = Open();
    EXPECT_EQ(w.windowTitle(), "Tavimeter");
    const QSize client = DialogUnitsToPixels(322, 298, w.logicalDpiY());
    EXPECT_EQ(w.PictureArea()->size(), client);
    EXPECT_FALSE(w.windowIcon().isNull());
    EXPECT_TRUE(w.Engine().IsOpen());
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(MainWindow, EachNotificationIsOneAnalysisAndOnePaint)
{
    CAnalyzerDlg& w = Open();
    Settle();
    const long paintsBefore = w.BlocksPainted();
    PushSine(1000);
    Settle();
    EXPECT_EQ(w.BlocksAnalysed(), 1);
    EXPECT_EQ(w.BlocksPainted() - paintsBefore, 1);

    // Two notifications waiting at once still give two pictures.
    PushSine(1000);
    PushSine(1000);
    Settle();
    EXPECT_EQ(w.BlocksAnalysed(), 3);
    EXPECT_EQ(w.BlocksPainted() - paintsBefore, 3);
}

TEST_F(MainWindow, PaintsThatNoBlockCausedLeaveThePictureAsItIs)
{
    Store({{"Check1", "1"}, {"Slider1", "40"}, {"Slider2", "70"}, {"WindowSize", "3"}, {"Check4", "1"}});
    // The surface and the window's picture after twelve blocks of a sweep,
    // with or without paints, same-size resize events and a resize away and
    // back in between.
    auto run = [&](int mode, bool disturbed) {
        CAnalyzerDlg& w = Open();
        w.SetDisplayMode(mode);
        w.SetCursor(440.0, 100);
        QWidget* picture = w.PictureArea();
        const QSize size = picture->size();
        auto resizeAwayAndBack = [&] {
            w.resize(w.width() + 40, w.height() - 30);
            Settle();
            w.resize(w.width() - 40, w.height() + 30);
            Settle();
        };
        if (disturbed)
            resizeAwayAndBack();
        fed = 0;
        for (int b = 0; b < 12; ++b) {
            PushSine(300 + 150 * b);
            Settle();
            if (!disturbed)
                continue;
            picture->repaint();
            picture->update();
            QResizeEvent same(size, size);
            QCoreApplication::sendEvent(picture, &same);
            if (mode == 2 || mode == 5)
                resizeAwayAndBack();  // its picture is redrawn whole
            Settle();
        }
        EXPECT_EQ(picture->size(), size);
        const QImage surface = static_cast<CImageDC*>(w.Surface())->Image().copy();
        const QImage shown = picture->grab().toImage();
        EXPECT_EQ(w.BlocksAnalysed(), 12);
        dialog.reset();
        return std::pair{surface, shown};
    };
    for (const int mode : {0, 1, 2, 3, 4, 5}) {
        const auto quiet = run(mode, false);
        const auto disturbed = run(mode, true);
        EXPECT_TRUE(quiet.first == disturbed.first) << "the surface, mode " << mode;
        EXPECT_TRUE(quiet.second == disturbed.second) << "the window, mode " << mode;
        if (mode == 0)
            Keep(disturbed.second, "paints_without_blocks_mode0");
    }
}

TEST_F(MainWindow, OwnsTheSettingsPanelWhoseClicksShowAtOnceWithoutScrolling)
{
    Store({{"WindowType", "3"}, {"Slider1", "40"}, {"Slider2", "70"}});
    CAnalyzerDlg& w = Open();
    CSettingDlg* panel = w.SettingsPanel();
    ASSERT_NE(panel, nullptr);
    EXPECT_TRUE(panel->isVisible());
    EXPECT_EQ(panel->parentWidget(), &w);
    for (int b = 0; b < 5; ++b) {
        PushSine(1000);
        Settle();
    }
    const QImage surface = static_cast<CImageDC*>(w.Surface())->Image().copy();
    const QImage before = w.PictureArea()->grab().toImage();
    w.SetCursor(1000.0, 50);
    QTest::mouseClick(static_cast<QAbstractButton*>(panel->Control(CSettingDlg::CursorGuideCheck)), Qt::LeftButton);
    panel->Slider(CSettingDlg::ContrastLowSlider)->setValue(20);
    Settle();
    EXPECT_TRUE(SharedSettings.CursorGuide);
    EXPECT_TRUE(static_cast<CImageDC*>(w.Surface())->Image() == surface) << "nothing scrolled";
    EXPECT_FALSE(w.PictureArea()->grab().toImage() == before) << "the guide shows at once";
    EXPECT_EQ(w.BlocksAnalysed(), 5);

    // Minimising hides the panel, restoring shows it; the lists are filled
    // again and keep the choice made.
    panel->List(CSettingDlg::WindowTypeList)->setCurrentIndex(6);
    w.showMinimized();
    Settle();
    EXPECT_FALSE(panel->isVisible());
    w.showNormal();
    Settle();
    EXPECT_TRUE(panel->isVisible());
    EXPECT_EQ(panel->List(CSettingDlg::WindowTypeList)->count(), 10);
    EXPECT_EQ(SharedSettings.WindowType, 6);

    w.reject();
    EXPECT_EQ(w.SettingsPanel(), nullptr);
    EXPECT_EQ(profile->ReadInt("SettingWindow", "WindowType"), 6);
    EXPECT_EQ(profile->ReadInt("SettingWindow", "Check4"), 1);
    EXPECT_EQ(profile->ReadInt("Ctrl", "Slider1"), 21);
    EXPECT_EQ(profile->ReadInt("Ctrl", "Slider2"), 70);
}

TEST_F(MainWindow, KeepsAHiddenKeyboardWindowWithItsPlacement)
{
    const struct {
        int left, top, right, bottom;
        bool applied;
    } cases[] = {
        {100, 120, 500, 320, true}, {0, 120, 400, 320, false}, {100, 0, 500, 200, false}, {500, 120, 100, 320, false},
    };
    for (const auto& c : cases) {
        std::remove(iniPath.c_str());
        profile->WriteInt("KBWindow", "Left", c.left);
        profile->WriteInt("KBWindow", "Top", c.top);
        profile->WriteInt("KBWindow", "Right", c.right);
        profile->WriteInt("KBWindow", "Bottom", c.bottom);
        CAnalyzerDlg& w = Open();
        CKeyboardDlg* keyboard = w.KeyboardWindow();
        ASSERT_NE(keyboard, nullptr);
        EXPECT_FALSE(keyboard->isVisible());
        EXPECT_EQ(keyboard->windowTitle(), QStringLiteral("鍵盤表示"));
        EXPECT_TRUE(std::all_of(std::begin(keyboard->PitchLevels), std::end(keyboard->PitchLevels),
                                [](float v) { return v == 0.0f; }));
        const QRect stored(QPoint(c.left, c.top), QPoint(c.right - 1, c.bottom - 1));
        EXPECT_EQ(keyboard->geometry() == stored, c.applied) << c.left << "," << c.top;
        if (!c.applied) {
            EXPECT_EQ(keyboard->size(), DialogUnitsToPixels(262, 123, keyboard->logicalDpiY()));
        }
        EXPECT_EQ(keyboard->Picture().pixelColor(20, 20), QColor(128, 128, 128)) << "its outline";
        const QRect used = keyboard->geometry();
        w.reject();
        EXPECT_EQ(profile->ReadInt("KBWindow", "Left"), used.x());
        EXPECT_EQ(profile->ReadInt("KBWindow", "Bottom"), used.y() + used.height());
        dialog.reset();
    }
}

TEST_F(MainWindow, ScrollBarFollowsZoomAndOffset)
{
    CAnalyzerDlg& w = Open();
    QScrollBar* bar = w.ScrollBar();
    EXPECT_EQ(w.ScrollRangeMax(), 0);
    EXPECT_TRUE(bar->isVisible());
    EXPECT_FALSE(bar->isEnabled());

    w.resize(w.width(), 400);
    Settle();
    ASSERT_EQ(w.PictureArea()->height(), 400);
    w.SetView(2.0, 0);
    w.UpdateScrollBar();
    EXPECT_EQ(w.ScrollRangeMax(), 300);
    EXPECT_EQ(bar->pageStep(), 100);
    EXPECT_EQ(bar->value(), 200);
    EXPECT_TRUE(bar->isEnabled());

    w.OnVScroll(CAnalyzerDlg::ThumbTrack, 0);
    EXPECT_EQ(w.Offset(), 200);

    w.SetView(2.0, 200);
    w.UpdateScrollBar();
    ASSERT_EQ(bar->value(), 0);
    w.OnVScroll(CAnalyzerDlg::LineDown, 0);
    EXPECT_EQ(bar->value(), 5);
    EXPECT_EQ(w.Offset(), 200) << "line steps take effect at the end of scrolling";
    w.OnVScroll(CAnalyzerDlg::EndScroll, 0);
    EXPECT_EQ(w.Offset(), 195);
    w.OnVScroll(CAnalyzerDlg::LineUp, 0);
    w.OnVScroll(CAnalyzerDlg::LineUp, 0);
    EXPECT_EQ(bar->value(), 0) << "never below 0";
}

TEST_F(MainWindow, ZoomButtonsUpdateTheScrollBar)
{
    CAnalyzerDlg& w = Open();
    w.ZoomIn();
    EXPECT_DOUBLE_EQ(w.Zoom(), 1.5);
    EXPECT_TRUE(w.ScrollBar()->isEnabled());
    w.ZoomOut();
    EXPECT_DOUBLE_EQ(w.Zoom(), 1.0);
    EXPECT_FALSE(w.ScrollBar()->isEnabled());
}

TEST_F(MainWindow, MouseRowsBecomeFrequencies)
{
    Store({{"Check1", "1"}});
    CAnalyzerDlg& w = Open();
    const int h = w.PictureArea()->height();
    w.OnMouseMove(10, h);
    EXPECT_NEAR(w.CursorHz(), 32.0, 1e-9);
    EXPECT_EQ(w.CursorRow(), h);
    w.SetView(2.0, 10);
    w.OnMouseMove(10, h / 2);
    const int row = int((h - h / 2) / 2.0 + 10);
    EXPECT_DOUBLE_EQ(w.CursorHz(), w.CursorFrequency(row, h));
    QTest::keyClick(&w, Qt::Key_Return);
    EXPECT_FALSE(w.isVisible()) << "Enter ends the window";
}

TEST_F(MainWindow, PlacementIsRestoredOnlyWhereItCanBeSeenAndSavedAsUsed)
{
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    const QSize templateSize = Open().geometry().size();
    dialog.reset();
    const int right = screen.x() + screen.width();
    const struct {
        int left, top, right, bottom;
        QRect expected;  // empty: the template's placement
    } cases[] = {
        {40, 50, 640, 470, QRect(40, 50, 600, 420)},
        {0, 0, INT_MAX, INT_MAX, screen},
        {INT_MIN, INT_MIN, INT_MAX, INT_MAX, screen},
        {right - 100, 10, right + 500, 300, QRect(right - 600, 10, 600, 290)},
        {50000, 50000, 50600, 50400, QRect()},
        {300, 300, 100, 100, QRect()},
    };
    for (const auto& c : cases) {
        std::remove(iniPath.c_str());
        profile->WriteInt("Window", "Left", c.left);
        profile->WriteInt("Window", "Top", c.top);
        profile->WriteInt("Window", "Right", c.right);
        profile->WriteInt("Window", "Bottom", c.bottom);
        CAnalyzerDlg& w = Open();
        const QRect used = w.geometry();
        // A platform may shift a window whose frame would leave the screen.
        EXPECT_EQ(used.size(), c.expected.isNull() ? templateSize : c.expected.size()) << c.left;
        EXPECT_TRUE(screen.contains(used.center())) << c.left;
        if (c.expected.isValid() && c.expected.left() > 0) {
            EXPECT_EQ(used, c.expected) << c.left;
        }
        EXPECT_EQ(w.Surface()->Width(), w.PictureArea()->width());
        w.reject();
        EXPECT_FALSE(w.Engine().IsOpen()) << "closing the window closes the device";
        const QRect saved(QPoint(profile->ReadInt("Window", "Left"), profile->ReadInt("Window", "Top")),
                          QPoint(profile->ReadInt("Window", "Right") - 1, profile->ReadInt("Window", "Bottom") - 1));
        EXPECT_EQ(saved, used) << "what is stored is what was used";
        dialog.reset();
    }
}

TEST_F(MainWindow, ResizeBeforeInitialisationTouchesNothing)
{
    dialog = std::make_unique<CAnalyzerDlg>(*profile, &driver);
    dialog->resize(700, 500);
    dialog->OnSize();
    EXPECT_EQ(dialog->Surface(), nullptr);
    EXPECT_FALSE(dialog->IsInitialised());
}

TEST_F(MainWindow, ACaptureThatCannotStartIsShownAndEndsTheWindow)
{
    driver.openFailure = "No such device";
    dialog = std::make_unique<CAnalyzerDlg>(*profile, &driver);
    CAnalyzerDlg& w = *dialog;
    w.OnInitDialog();
    w.show();
    Settle();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains("No such device"));
    EXPECT_FALSE(w.Engine().IsOpen());
    EXPECT_FALSE(w.isVisible()) << "nothing to show without an input";
    EXPECT_TRUE(w.CaptureFailed());
}

TEST_F(MainWindow, ALostInputIsShownOnceAndOpenedAgainWhenItIsBack)
{
    CAnalyzerDlg& w = Open();
    PushSine(1000);
    Settle();
    // The device fails with a block still waiting: both the failed re-queue
    // and the failure notification report the loss.
    PushSine(1000);
    driver.last->Unplug("Connection terminated");
    driver.openFailure = "Connection refused";
    Settle();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains("Connection terminated"));
    EXPECT_FALSE(w.Engine().IsOpen());
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Tavimeter \u2014 no sound input"));
    EXPECT_TRUE(w.isVisible());

    const int opens = driver.opens;
    QTest::qWait(CCaptureKeeper::ReopenIntervalMs + 300);
    EXPECT_EQ(driver.opens, opens + 1) << "one quiet attempt every two seconds";
    EXPECT_FALSE(w.Engine().IsOpen());

    driver.openFailure.clear();
    QTest::qWait(CCaptureKeeper::ReopenIntervalMs + 300);
    EXPECT_TRUE(w.Engine().IsOpen());
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Tavimeter"));
    EXPECT_EQ(messages.size(), 1) << "no second message";
    const long before = w.BlocksAnalysed();
    PushSine(1000);
    Settle();
    EXPECT_EQ(w.BlocksAnalysed(), before + 1);
    EXPECT_EQ(w.BlocksSinceStart(), 1);
}

// A device that fails the moment it has started is a loss like any other.
TEST_F(MainWindow, ADeviceThatFailsAtOnceIsSeenAndOpenedAgain)
{
    driver.failOnStart = "Unplugged";
    CAnalyzerDlg& w = Open();
    Settle();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains("Unplugged"));
    EXPECT_FALSE(w.Engine().IsOpen());
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Tavimeter \u2014 no sound input"));

    driver.failOnStart.clear();
    QTest::qWait(CCaptureKeeper::ReopenIntervalMs + 300);
    EXPECT_TRUE(w.Engine().IsOpen());
    PushSine(1000);
    Settle();
    EXPECT_EQ(w.BlocksSinceStart(), 1);
}

TEST_F(MainWindow, SpectrogramShowsALineAtTheRowOf1000Hz)
{
    Store({{"Check1", "1"}, {"Slider1", "40"}, {"Slider2", "70"}, {"WindowSize", "4"}, {"WindowType", "1"},
           {"Oversample", "4"}});
    CAnalyzerDlg& w = Open();
    for (int b = 0; b < 40; ++b) {
        PushSine(1000);
        Settle();
    }
    const QImage shot = w.PictureArea()->grab().toImage();
    Keep(shot, "spectrogram_1000hz");
    const int h = shot.height();
    const int row = int(std::lround((std::log2(1000.0) - 5) * h / (std::log2(22050.0) - 5)));
    auto brightness = [&](int x, int y) {
        const QColor c = shot.pixelColor(x, y);
        return c.red() + c.green() + c.blue();
    };
    int lit = 0, dark = 0;
    for (int x = shot.width() / 4; x < shot.width() - 30; x += 7) {
        int best = 0;
        for (int dy = -3; dy <= 3; ++dy)
            best = std::max(best, brightness(x, h - row + dy));
        lit += best > 300;
        dark += brightness(x, h - row - 80) < 80 && brightness(x, h - row + 80) < 80;
    }
    const int samples = (shot.width() - 30 - shot.width() / 4 + 6) / 7;
    EXPECT_GT(lit, samples * 9 / 10) << "a horizontal line at the row of 1000 Hz";
    EXPECT_GT(dark, samples * 9 / 10) << "dark rows far from it";
}

TEST_F(MainWindow, SpectrumModeReportsTheFundamental)
{
    Store({{"WindowSize", "4"}, {"Check2", "1"}});
    CAnalyzerDlg& w = Open();
    w.SetDisplayMode(2);
    for (int b = 0; b < 6; ++b) {
        PushSine(1000);
        Settle();
    }
    EXPECT_EQ(w.Spectrum1DView().LastResult().substr(0, 16), "fc = 1001.0[Hz],");
    const QImage shot = w.PictureArea()->grab().toImage();
    Keep(shot, "spectrum_1000hz");
    EXPECT_EQ(shot.pixelColor(shot.width() / 2, 60), QColor(255, 255, 255)) << "the plot's white background";

    SharedSettings.WindowSize = 4096;
    for (int b = 0; b < 4; ++b) {
        PushSine(1000);
        Settle();
    }
    EXPECT_EQ(w.Spectrum1DView().LastResult().substr(0, 15), "fc = 996.0[Hz],");
}

} // namespace

namespace {

// Every numeric key the program reads holds the same hostile text: the
// window starts, draws blocks in every view and closes, with each setting
// inside the range its control accepts.
class HostileSettings : public MainWindow, public ::testing::WithParamInterface<const char*> {};

TEST_P(HostileSettings, StartDrawEveryViewAndClose)
{
    const char* value = GetParam();
    const char* const rectangle[] = {"Left", "Top", "Right", "Bottom"};
    for (const char* section : {"Window", "KBWindow", "SettingWindow"})
        for (const char* key : rectangle)
            profile->WriteString(section, key, value);
    for (const char* key : {"Check1", "Check2", "Check3", "Check4", "Check7", "Check8", "Check9", "Oversample",
                            "WindowType", "ColorType", "WindowSize", "MaxFreq", "AMinFreq", "SignalThre", "Stereo",
                            "CQAdjustmentValue"})
        profile->WriteString("SettingWindow", key, value);
    for (const char* key : {"Slider1", "Slider2"})
        profile->WriteString("Ctrl", key, value);
    for (const char* key : {"FrequencyScale", "ShowTempo", "ShowKeyboard"})
        profile->WriteString("View", key, value);

    CAnalyzerDlg& w = Open();
    EXPECT_GE(SharedSettings.MaxFreq, 100.0f);
    EXPECT_LE(SharedSettings.MaxFreq, 24000.0f);
    EXPECT_TRUE(SharedSettings.ContrastLow >= 0 && SharedSettings.ContrastLow <= 101) << SharedSettings.ContrastLow;
    EXPECT_TRUE(SharedSettings.ContrastHigh >= 0 && SharedSettings.ContrastHigh <= 101) << SharedSettings.ContrastHigh;
    EXPECT_TRUE(SharedSettings.Oversample >= 1 && SharedSettings.Oversample <= 16) << SharedSettings.Oversample;
    for (const float f : {SharedSettings.AMinFreq, SharedSettings.SignalThre, SharedSettings.CQAdjustmentValue})
        EXPECT_TRUE(std::isfinite(f));
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_TRUE(screen.intersects(w.frameGeometry())) << "the window can be seen";
    for (int mode = CRenderer::Spectrogram; mode <= CRenderer::SpectrumEnvelope; ++mode) {
        w.SetDisplayMode(mode);
        const long before = w.BlocksPainted();
        const long analysed = w.BlocksAnalysed();
        for (int b = 0; b < 3; ++b) {
            PushSine(1000.0 + 500 * mode);
            Settle();
        }
        EXPECT_EQ(w.BlocksAnalysed(), analysed + 3) << "mode " << mode;
        // Without the logarithmic axis the LPC and speech views draw
        // nothing: past the new view's first picture the window has nothing
        // to show again.
        const bool drawsNothing = (mode == CRenderer::LPCSpectrogram || mode == CRenderer::Speech) &&
                                  !SharedSettings.LogScale;
        EXPECT_LE(w.BlocksPainted(), before + 3) << "mode " << mode;
        EXPECT_GE(w.BlocksPainted(), before + (drawsNothing ? 1 : 3)) << "mode " << mode;
    }
    w.reject();
    EXPECT_FALSE(w.isVisible());
    dialog.reset();
    EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
}

INSTANTIATE_TEST_SUITE_P(Values, HostileSettings,
                         ::testing::Values("1e11", "-1e11", "1e308", "nan", "inf", "2147483648", "-2147483649",
                                           "123456789012345678901234567890", "12abc"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                             std::string name;
                             for (const char c : std::string(info.param))
                                 name += std::isalnum(static_cast<unsigned char>(c)) ? c : c == '-' ? 'm' : '_';
                             return name;
                         });

} // namespace
