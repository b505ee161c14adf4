#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTest>

#include <cmath>

#include "app/picture_menu.h"
#include "tests/gui/main_window_fixture.h"
#include "ui/meter_dlg.h"
#include "ui/levels_readout.h"
#include "ui/meter_panel.h"

namespace {

class Meter : public MainWindow {
protected:
    void TearDown() override
    {
        CAnalyzerDlg::SetFileChooser(nullptr);
        MainWindow::TearDown();
    }
    // The number the meter shows after `name` ("I", "S" ...).
    static double Shown(const CMeterDlg* meter, const QString& name)
    {
        for (const QString& line : meter->Numbers().split('\n'))
            if (line.section(QStringLiteral("  "), 0, 0) == name)
                return line.section(QStringLiteral("  "), 1).section(' ', 0, 0).replace(QChar(0x2212), '-').toDouble();
        return NAN;
    }
    // A 1 kHz sine at -23 dBFS (peak) in both channels, blocks of it.
    void PushMinus23(int blocks)
    {
        for (int b = 0; b < blocks; ++b) {
            PushSine(1000.0, std::pow(10.0, -23.0 / 20) * 32768);
            Settle();
        }
    }
};

// The meter window from the menu: fed every block, kept shown in [View],
// its target and unit in [Meter]; Reset and R start the programme again;
// closing it unticks the entry and stops the meter.
TEST_F(Meter, ShownFromTheMenuItReadsTheLoudnessInLufsOrLu)
{
    CAnalyzerDlg& w = Open();
    w.PictureMenu()->ShowMeterAction()->trigger();
    CMeterDlg* meter = w.MeterWindow();
    ASSERT_TRUE(meter->isVisible());
    EXPECT_EQ(profile->ReadInt("View", "ShowMeter"), 1);
    for (const char* unmeasured : {"M  \u2212\u221e LUFS", "S  \u2212\u221e LUFS", "Max TP  \u2212\u221e dBTP"})
        EXPECT_TRUE(meter->Numbers().contains(QString(unmeasured))) << "before any block: " << meter->Numbers().toStdString();
    SharedSettings.Pause = true;  // the meter goes on while the picture is paused
    PushMinus23(118);             // 5 s
    EXPECT_TRUE(meter->Numbers().contains("S  -23.0 LUFS")) << meter->Numbers().toStdString();
    // Painted only where the readings moved, block by block, the window
    // shows what a whole paint shows.
    QWidget* panel = meter->findChild<QTabWidget*>()->widget(0);  // the loudness page
    ASSERT_NE(panel, nullptr);
    const QPoint at = panel->mapTo(meter, QPoint(0, 0));
    const QImage shown = meter->screen()
                             ->grabWindow(meter->winId(), at.x(), at.y(), panel->width(), panel->height())
                             .toImage()
                             .convertToFormat(QImage::Format_RGB32);
    EXPECT_TRUE(shown == meter->Picture().convertToFormat(QImage::Format_RGB32));
    EXPECT_NEAR(Shown(meter, "I"), -23.0, 0.15) << meter->Numbers().toStdString();  // shown to 0.1

    meter->findChild<QCheckBox*>()->setChecked(true);
    EXPECT_TRUE(meter->Numbers().contains("S  +0.0 LU")) << meter->Numbers().toStdString();
    meter->findChild<QComboBox*>()->setCurrentIndex(1);  // -16 LUFS
    EXPECT_TRUE(meter->Numbers().contains("S  -7.0 LU")) << meter->Numbers().toStdString();
    EXPECT_EQ(profile->ReadInt("Meter", "Target"), -16);
    EXPECT_EQ(profile->ReadInt("Meter", "Relative"), 1);

    QTest::mouseClick(meter->ResetButton(), Qt::LeftButton);
    EXPECT_TRUE(meter->Numbers().contains(QString("I  \u2212\u221e LU"))) << meter->Numbers().toStdString();
    PushMinus23(20);
    EXPECT_NEAR(Shown(meter, "I"), -7.0, 0.15) << meter->Numbers().toStdString();
    QTest::keyClick(meter, Qt::Key_R);
    EXPECT_TRUE(meter->Numbers().contains(QString("I  \u2212\u221e LU"))) << "R while the meter has focus";

    meter->close();
    EXPECT_FALSE(w.ShowMeter());
    EXPECT_EQ(w.Readings().Meter(), nullptr) << "no meter for nobody";
    EXPECT_EQ(profile->ReadInt("View", "ShowMeter"), 0);
}

// "Log levels…" asks for a file and appends a row a second to it; a second
// choice of the entry stops it.
TEST_F(Meter, LogLevelsStartsAndStopsTheLog)
{
    CAnalyzerDlg& w = Open();
    const QString path = QDir::temp().filePath(QString("tavi_%1_levels.csv").arg(getpid()));
    QFile::remove(path);
    CAnalyzerDlg::SetFileChooser([&](QWidget*, const QString&, const QString&, const QString&) { return path; });
    w.PictureMenu()->LogLevelsAction()->trigger();
    ASSERT_TRUE(w.LevelLog().IsOpen());
    ASSERT_NE(w.Readings().Meter(), nullptr) << "the meter runs for the log";
    for (int i = 0; i < 60; ++i) {  // a little over two seconds
        PushMinus23(1);
        QTest::qWait(40);
    }
    EXPECT_GE(w.LevelLog().Rows(), 1);
    w.PictureMenu()->Refresh();
    EXPECT_TRUE(w.PictureMenu()->LogLevelsAction()->isChecked());
    w.PictureMenu()->LogLevelsAction()->trigger();
    EXPECT_FALSE(w.LevelLog().IsOpen());
    EXPECT_EQ(w.Readings().Meter(), nullptr);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
    ASSERT_GE(lines.size(), 2);
    // The loudness, then the sound levels of the page's weighting, A.
    EXPECT_TRUE(lines[0].startsWith(QString::fromUtf8(CLevelLog::Header).trimmed() + ",laf_dbfs,")) << lines[0].toStdString();
    EXPECT_EQ(lines[1].split(',').size(), 16);
    QFile::remove(path);
}

// The levels' readout: LXF follows every reading, the other numbers wait
// for a third of a second of measurement, a reset shows at once; the
// overload sign is painted as soon as it comes.
TEST(LevelsReadout, HoldsTheSmallNumbersBetweenRefreshesAndShowsOverloadAtOnce)
{
    CLevelsReadout readout(nullptr);
    readout.resize(readout.sizeHint());
    SoundLevelReadings r;
    r.fast = r.slow = -30.0;
    r.seconds = 1.0;
    readout.SetReadings(&r);
    EXPECT_EQ(readout.Numbers()[1], "LAS -30.0 dBFS");
    r.slow = -20.0;
    r.seconds += 0.3;
    r.overload = true;
    readout.SetReadings(&r);
    EXPECT_EQ(readout.Numbers()[1], "LAS -30.0 dBFS") << "held";
    EXPECT_TRUE(readout.OverloadShown());
    const QImage picture = readout.grab().toImage();
    int red = 0;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            red += picture.pixelColor(x, y) == QColor(0xc0, 0, 0);
    EXPECT_GT(red, 200) << "the sign painted";
    r.seconds += 0.05;
    readout.SetReadings(&r);
    EXPECT_EQ(readout.Numbers()[1], "LAS -20.0 dBFS") << "0.35 s after the last refresh";
    readout.SetReadings(nullptr);
    EXPECT_EQ(readout.Numbers()[1], QString("LAS \u2212\u221e dBFS")) << "the reset";
    EXPECT_FALSE(readout.OverloadShown());
}

} // namespace
