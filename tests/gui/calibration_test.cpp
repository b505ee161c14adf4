#include <QComboBox>
#include <QTest>

#include <cmath>

#include "app/picture_menu.h"
#include "tests/gui/main_window_fixture.h"
#include "ui/calibration_dlg.h"
#include "ui/levels_page.h"
#include "ui/meter_dlg.h"

namespace {

class Calibration : public MainWindow {
protected:
    // `seconds` of a 1 kHz sine at `dbfs` in both channels.
    void PushTone(double dbfs, double seconds)
    {
        for (int b = 0; b < int(seconds * 48000 / 2048) + 1; ++b) {
            PushSine(1000.0, std::pow(10.0, dbfs / 20.0) * 32768);
            Settle();
        }
    }
    // The levels page's line that starts with `name`.
    static QString Line(CAnalyzerDlg& w, const QString& name)
    {
        for (const QString& line : w.MeterWindow()->LevelsPage()->Numbers())
            if (line.startsWith(name + QLatin1Char(' ')))
                return line.mid(name.size() + 1);
        return QString();
    }
};

// The levels page reads dBFS; "Calibrate…" against a 94 dB calibrator's
// tone at -20 dBFS makes a -30 dBFS tone read 84.0 dB SPL; the calibration
// is the input's, kept for the next run, and "Read dBFS" forgets it.
TEST_F(Calibration, AgainstACalibratorFromTheMenuAndKeptForTheNextRun)
{
    CAnalyzerDlg& w = Open();
    w.PictureMenu()->ShowMeterAction()->trigger();
    w.MeterWindow()->ShowLevels(true);
    PushTone(-20.0, 1.5);
    EXPECT_EQ(Line(w, "LAeq,1s"), "-20.0 dBFS");
    EXPECT_EQ(profile->ReadInt("Meter", "Page"), 1);

    w.PictureMenu()->CalibrateAction()->trigger();
    CCalibrationDlg* calibration = w.CalibrationWindow();
    ASSERT_TRUE(calibration && calibration->isVisible());
    calibration->CalibratorLevel()->setCurrentText("94.0");
    calibration->Measure();
    PushTone(-20.0, 3.5);
    for (int i = 0; i < 5 && calibration->Measuring(); ++i)
        QTest::qWait(120);
    EXPECT_TRUE(calibration->Status().startsWith("Taken")) << calibration->Status().toStdString();
    EXPECT_NEAR(w.InputCalibrationInUse().offset, 114.0, 0.01);
    PushTone(-30.0, 1.5);
    EXPECT_EQ(Line(w, "LAeq,1s"), "84.0 dB SPL");

    // A microphone file that reads 1 kHz 3.0 dB low raises it by 3.0 dB; one
    // whose frequencies fall back is refused with its line.
    const QString file = QDir::temp().filePath(QString("tavi_%1_mic.txt").arg(getpid()));
    QFile(file).remove();
    QFile mic(file);
    ASSERT_TRUE(mic.open(QIODevice::WriteOnly));
    mic.write("\"Sens Factor =-1.378dB, AGain =18dB, SERNO: 7103946\"\n20 -3.0\n20000 -3.0\n");
    mic.close();
    calibration->UseMicrophoneFile(file);
    EXPECT_TRUE(calibration->Status().contains("Sens Factor =-1.378dB")) << calibration->Status().toStdString();
    PushTone(-30.0, 1.5);
    EXPECT_EQ(Line(w, "LAeq,1s"), "87.0 dB SPL");
    ASSERT_EQ(w.SpectrumGains().size(), 4096u) << "the 1-D spectrum's bins";
    EXPECT_NEAR(w.SpectrumGains()[171], std::pow(10.0, 3.0 / 20), 1e-6);
    ASSERT_TRUE(mic.open(QIODevice::WriteOnly | QIODevice::Truncate));
    mic.write("100 1\n50 1\n");
    mic.close();
    calibration->UseMicrophoneFile(file);
    EXPECT_TRUE(calibration->Status().contains("line 2: the frequencies do not rise")) << calibration->Status().toStdString();
    calibration->UseMicrophoneFile(QString());
    mic.remove();

    dialog.reset();
    CAnalyzerDlg& again = Open();
    ASSERT_TRUE(again.MeterWindow()->isVisible() && again.MeterWindow()->ShowsLevels());
    PushTone(-30.0, 1.5);
    EXPECT_EQ(Line(again, "LAeq,1s"), "84.0 dB SPL");
    again.ForgetInputCalibration();
    PushTone(-30.0, 0.1);
    EXPECT_EQ(Line(again, "LAeq,1s"), "-30.0 dBFS");
}

} // namespace
