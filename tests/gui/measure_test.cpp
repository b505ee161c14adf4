#include <QFile>
#include <QTest>

#include <cmath>

#include "app/measure_menu.h"
#include "app/picture_menu.h"
#include "display/bands_view.h"
#include "settings/measure_settings.h"
#include "tests/gui/main_window_fixture.h"

namespace {

class Measure : public MainWindow {
protected:
    void SetUp() override
    {
        MainWindow::SetUp();
        SharedMeasureSettings = MeasureSettings();
    }
    void TearDown() override
    {
        MainWindow::TearDown();
        SharedMeasureSettings = MeasureSettings();
    }
    void Choose(CAnalyzerDlg& w, const char* group, int value)
    {
        QAction* action = w.PictureMenu()->MeasureMenu()->Choice(QString::fromUtf8(group), value);
        ASSERT_NE(action, nullptr) << group << " " << value;
        action->trigger();
    }
    void Push(CAnalyzerDlg&, double hz, int blocks)
    {
        for (int b = 0; b < blocks; ++b) {
            PushSine(hz, 3277);  // -20 dBFS
            Settle();
        }
    }
};

// The choices are kept in [Measure] and come back at the next start; the
// bands view shows the tone's band tallest, its level under the mouse, and
// R starts the peaks again.
TEST_F(Measure, TheBandsViewShowsTheTonesBandAndTheChoicesAreKept)
{
    CAnalyzerDlg& w = Open();
    Choose(w, "Bands", 3);
    Choose(w, "Frequency weighting", 1);
    Choose(w, "Averaging", 2);
    Choose(w, "Peak hold", 1);
    EXPECT_EQ(profile->ReadInt("Measure", "Bands"), 3);
    EXPECT_EQ(profile->ReadInt("Measure", "Weighting"), 1);
    EXPECT_EQ(profile->ReadInt("Measure", "Averaging"), 2);
    EXPECT_EQ(profile->ReadInt("Measure", "PeakHold"), 1);

    w.PictureMenu()->ModeMenu()->actions()[7]->trigger();
    ASSERT_EQ(w.GetDisplayMode(), CRenderer::OctaveBands);
    Push(w, 1000.0, 40);
    const CMeasurement& m = w.Readings().Measurement();
    const int bands = int(m.Bands().size());
    ASSERT_EQ(bands, 31);
    const int oneK = 17;
    EXPECT_NEAR(m.BandLevels()[oneK], -20.0, 0.5) << "1 kHz is 0 dB in A";
    for (int k = 0; k < bands; ++k) {
        if (k != oneK) {
            EXPECT_LT(m.BandLevels()[k], m.BandLevels()[oneK] - 10) << m.Bands()[size_t(k)].nominal;
        }
    }

    // The bar of 1 kHz, over the middle of its slot.
    const int width = w.PictureArea()->width();
    int x = 0;
    while (CBandsView::BandAt(x, width, bands) != oneK)
        ++x;
    x += 3;
    w.OnMouseMove(x, 100);
    EXPECT_EQ(w.BandReadout(), QStringLiteral("1k Hz: %1 dBFS").arg(m.BandLevels()[oneK], 0, 'f', 1));
    // Calibrated, the readout and "Export spectrum…" give dB SPL: the bands
    // with their nominal and exact midbands, levels and held peaks.
    ASSERT_TRUE(w.SetInputCalibration(100.0));
    EXPECT_EQ(w.BandReadout(), QStringLiteral("1k Hz: %1 dB SPL").arg(m.BandLevels()[oneK] + 100.0, 0, 'f', 1));
    const QString path = QDir::temp().filePath(QString("tavi_%1_bands.csv").arg(getpid()));
    ASSERT_TRUE(w.ExportSpectrum(path));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
    file.remove();
    ASSERT_EQ(lines.size(), 3 + bands);
    EXPECT_TRUE(lines[0].startsWith("# 1/3 octave bands (IEC 61260-1), A-weighted")) << lines[0].toStdString();
    EXPECT_EQ(lines[1], "# calibration: 100.00 dB SPL at 0 dBFS");
    EXPECT_EQ(lines[2], "nominal_hz,midband_hz,level_db_spl,peak_db_spl");
    EXPECT_EQ(lines[3 + oneK].section(',', 0, 2),
              QStringLiteral("1000,1000.00,%1").arg(m.BandLevels()[oneK] + 100.0, 0, 'f', 1));
    w.ForgetInputCalibration();
    const QImage shown = w.PictureArea()->grab().toImage();
    const int h = shown.height();
    const int barRow = 50 + int((20.0 + 5.0) / 100 * (h - 90));  // 5 dB below the bar's top
    EXPECT_EQ(shown.pixelColor(x, barRow), QColor(64, 64, 192)) << "the bar";
    Keep(shown, "bands_view");

    Push(w, 200.0, 30);
    EXPECT_NEAR(m.BandPeaks()[oneK], -20.0, 0.5) << "held";
    QTest::keyClick(&w, Qt::Key_R);
    Push(w, 200.0, 1);
    // Slow has let the band fall some 6 dB since the tone stopped.
    EXPECT_LT(m.BandPeaks()[oneK], -24.0) << "R starts the peaks again";

    dialog.reset();
    SharedMeasureSettings = MeasureSettings();
    Open();
    EXPECT_EQ(SharedMeasureSettings.Weighting, 1);
    EXPECT_EQ(SharedMeasureSettings.Averaging, 2);
    EXPECT_EQ(SharedMeasureSettings.PeakHold, 1);
}

// With averaging and peak hold on, the export writes the trace the 1-D view
// shows and the peaks, and says so in its first line.
TEST_F(Measure, TheExportWritesTheAveragedTraceAndThePeaks)
{
    CAnalyzerDlg& w = Open();
    Choose(w, "Averaging", 4);
    Choose(w, "Peak hold", 1);
    w.SetDisplayMode(CRenderer::Spectrum1D);
    Push(w, 1000.0, 6);
    Push(w, 3000.0, 6);
    const QString path = QDir::temp().filePath(QString("tavi_%1_average.csv").arg(getpid()));
    ASSERT_TRUE(w.ExportSpectrum(path));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
    QFile::remove(path);
    ASSERT_EQ(lines.size(), 4099);
    EXPECT_EQ(lines[0], "# levels: linear average since the reset; peaks: held since the reset");
    EXPECT_EQ(lines[2], "frequency_hz,level_db,peak_db,level_dbfs,peak_dbfs");
    const float* averaged = w.Readings().Measurement().AveragedSpectrum(0);
    const float* peaks = w.Readings().Measurement().PeakSpectrum(0);
    for (const int k : {171, 512, 2000}) {
        const QStringList cells = lines[k + 3].split(',');
        ASSERT_EQ(cells.size(), 5);
        EXPECT_NEAR(cells[1].toDouble(), 20 * std::log10(double(averaged[k]) + 1e-12), 1e-9) << k;
        EXPECT_NEAR(cells[2].toDouble(), 20 * std::log10(double(peaks[k]) + 1e-12), 1e-9) << k;
    }
    EXPECT_GT(lines[171 + 3].split(',')[2].toDouble(), lines[171 + 3].split(',')[1].toDouble() + 2)
        << "the 1 kHz tone's peak stands above its average";
}

} // namespace
