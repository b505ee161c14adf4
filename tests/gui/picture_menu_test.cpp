#include <QAbstractButton>
#include <QButtonGroup>
#include <QFile>
#include <QImage>
#include <QLocale>

#include <clocale>
#include <sstream>

#include "app/picture_menu.h"
#include "display/frequency_scale.h"
#include "tests/gui/main_window_fixture.h"
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
};

TEST_F(PictureMenu, EntriesFollowTheModeAndPauseBothWays)
{
    CAnalyzerDlg& w = Open();
    CPictureMenu* menu = w.PictureMenu();
    ASSERT_NE(menu, nullptr);
    QStringList modes;
    for (const QAction* a : menu->ModeMenu()->actions())
        modes << a->text();
    EXPECT_EQ(modes, QStringList({"2-D Spectrogram", "Constant-Q Spectrogram", "1-D Spectum", "LPC (experimental)",
                                  "Speech (experimental)", "1-D Spectum 2 (experimental)"}));
    EXPECT_EQ(menu->SavePictureAction()->shortcut(), QKeySequence("Ctrl+S"));
    EXPECT_EQ(menu->ExportSpectrumAction()->shortcut(), QKeySequence("Ctrl+E"));
    EXPECT_FALSE(menu->FrequencyScaleAction()->isChecked()) << "off by default";

    CSettingDlg* panel = w.SettingsPanel();
    menu->ModeMenu()->actions()[2]->trigger();
    EXPECT_EQ(w.GetDisplayMode(), 2);
    EXPECT_EQ(panel->ModeGroup()->checkedId(), 2);
    menu->ModeMenu()->actions()[4]->trigger();
    EXPECT_EQ(w.GetDisplayMode(), 4);
    EXPECT_EQ(panel->ModeGroup()->checkedId(), -1) << "its button cannot show it";
    menu->Refresh();
    EXPECT_TRUE(menu->ModeMenu()->actions()[4]->isChecked());

    auto* pauseButton = static_cast<QAbstractButton*>(panel->Control(CSettingDlg::PauseButton));
    menu->PauseAction()->trigger();
    EXPECT_TRUE(SharedSettings.Pause);
    EXPECT_TRUE(pauseButton->isChecked());
    QTest::mouseClick(pauseButton, Qt::LeftButton);
    EXPECT_FALSE(SharedSettings.Pause);
    menu->Refresh();
    EXPECT_FALSE(menu->PauseAction()->isChecked());
}

TEST_F(PictureMenu, SavesThePictureAsShownAndSaysWhenItCannot)
{
    Store({{"Check1", "1"}, {"Check4", "1"}, {"Slider1", "40"}, {"Slider2", "70"}});
    CAnalyzerDlg& w = Open();
    w.SetCursor(440.0, 80);
    for (int b = 0; b < 4; ++b) {
        PushSine(1000);
        Settle();
    }
    const QString path = TempFile("picture.png");
    QString proposed;
    CAnalyzerDlg::SetFileChooser([&](QWidget*, const QString&, const QString& proposal, const QString&) {
        proposed = proposal;
        return path;
    });
    w.PictureMenu()->SavePictureAction()->trigger();
    EXPECT_TRUE(proposed.endsWith("tavimeter.png"));
    const QImage saved(path);
    EXPECT_EQ(saved.convertToFormat(QImage::Format_RGB32), w.PictureArea()->grab().toImage().convertToFormat(QImage::Format_RGB32));
    QFile::remove(path);
    EXPECT_TRUE(messages.isEmpty());
    // The next dialog starts in the folder used last.
    w.PictureMenu()->SavePictureAction()->trigger();
    EXPECT_EQ(proposed, QDir::temp().filePath("tavimeter.png"));
    QFile::remove(path);

    EXPECT_FALSE(w.SavePicture("/nonexistent-folder/picture.png"));
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains("/nonexistent-folder/picture.png"));
}

TEST_F(PictureMenu, ExportsTheNewestSpectrumWithDecimalPoints)
{
    Store({{"WindowSize", "4"}, {"Stereo", "1"}});
    CAnalyzerDlg& w = Open();
    for (int b = 0; b < 3; ++b) {
        PushSine(1000);
        Settle();
    }
    // A desktop whose numbers use ',' (Qt's own locale always; the C
    // library's where the system has the locale).
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const std::string previous = std::setlocale(LC_ALL, nullptr);
    std::setlocale(LC_ALL, "de_DE.UTF-8");
    const QString path = TempFile("spectrum.csv");
    ASSERT_TRUE(w.ExportSpectrum(path));
    std::setlocale(LC_ALL, previous.c_str());
    QLocale::setDefault(QLocale::c());

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
    QFile::remove(path);
    ASSERT_EQ(lines.size(), 4097);
    EXPECT_EQ(lines[0], "frequency_hz,left_db,right_db");
    const float* left = w.Engine().GetSpectrum(0) + CWaveCapture::SecondSpectrum;
    const float* right = w.Engine().GetSpectrum(1) + CWaveCapture::SecondSpectrum;
    for (const int k : {0, 1, 170, 171, 4095}) {
        const QStringList cells = lines[k + 1].split(',');
        ASSERT_EQ(cells.size(), 3) << k;
        EXPECT_DOUBLE_EQ(cells[0].toDouble(), k * 48000.0 / 8192) << k;
        EXPECT_NEAR(cells[1].toDouble(), 20 * std::log10(double(left[k]) + 1e-12), 1e-9) << k;
        EXPECT_NEAR(cells[2].toDouble(), 20 * std::log10(double(right[k]) + 1e-12), 1e-9) << k;
    }
    EXPECT_GT(lines[172].split(',')[1].toDouble(), lines[101].split(',')[1].toDouble() + 40) << "the tone's bin";
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

TEST(FrequencyScale, LinearAxisFollowsTheDrawnBins)
{
    SharedSettings = Settings();
    SharedSettings.MaxFreq = 22050.0f;
    const int h = 400;
    // The linear view draws bin trunc(r * q) at row r.
    const double q = 22050.0 * double(0.04266666620969772f) / h;
    const std::vector<ScaleTick> ticks = FrequencyScaleTicks(ScaleView{0, h, 1.0, 0, 16});
    ASSERT_FALSE(ticks.empty());
    for (const ScaleTick& tick : ticks) {
        const int row = h - tick.y;
        EXPECT_NEAR(int(row * q) * 48000.0 / 8192, tick.frequency, 2 * 48000.0 / 8192) << tick.label;
        EXPECT_EQ(tick.label.find('A'), std::string::npos) << "no note names on the linear axis";
    }
    SharedSettings = Settings();
}

} // namespace
