#include <QDir>
#include <QFile>
#include <QImage>
#include <QLocale>

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <clocale>
#include <cstring>
#include <fstream>
#include <iterator>

#include "app/picture_menu.h"
#include "tests/gui/main_window_fixture.h"

namespace {

// "Save picture…" and "Export spectrum…": what they write, and that they
// never report success for a file they did not write.
class Exports : public MainWindow {
protected:
    void TearDown() override
    {
        CAnalyzerDlg::SetFileChooser(nullptr);
        MainWindow::TearDown();
    }
    QString TempFile(const char* name) const { return QDir::temp().filePath(QString("tavi_%1_%2").arg(getpid()).arg(name)); }
};

TEST_F(Exports, SavesThePictureAsShownAndSaysWhenItCannot)
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

TEST_F(Exports, ExportsTheNewestSpectrumWithDecimalPoints)
{
    Store({{"WindowSize", "4"}, {"Stereo", "1"}});
    CAnalyzerDlg& w = Open();
    // -23 dBFS, centred on grid bin 170 (996.09375 Hz), filling the 8192
    // points of the transform.
    const double amplitude = 32768 * std::pow(10.0, -23.0 / 20);
    for (int b = 0; b < 5; ++b) {
        PushSine(170 * 48000.0 / 8192, amplitude);
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
    ASSERT_EQ(lines.size(), 4098);
    EXPECT_TRUE(lines[0].startsWith("# _db: 20 log10 of the grid magnitude (unnormalised")) << lines[0].toStdString();
    EXPECT_EQ(lines[1], "frequency_hz,left_db,right_db,left_dbfs,right_dbfs");
    const float* left = w.Engine().GetSpectrum(0) + CWaveCapture::SecondSpectrum;
    const float* right = w.Engine().GetSpectrum(1) + CWaveCapture::SecondSpectrum;
    for (const int k : {0, 1, 170, 171, 4095}) {
        const QStringList cells = lines[k + 2].split(',');
        ASSERT_EQ(cells.size(), 5) << k;
        EXPECT_DOUBLE_EQ(cells[0].toDouble(), k * 48000.0 / 8192) << k;
        EXPECT_NEAR(cells[1].toDouble(), 20 * std::log10(double(left[k]) + 1e-12), 1e-9) << k;
        EXPECT_NEAR(cells[2].toDouble(), 20 * std::log10(double(right[k]) + 1e-12), 1e-9) << k;
    }
    // The tone in dBFS reads its own level (a full-scale sine 0 dB), as the
    // meter and the bands read it.
    EXPECT_NEAR(lines[170 + 2].split(',')[3].toDouble(), -23.0, 0.01);
    EXPECT_NEAR(lines[170 + 2].split(',')[4].toDouble(), -23.0, 0.01);
    EXPECT_GT(lines[170 + 2].split(',')[1].toDouble(), lines[101].split(',')[1].toDouble() + 40) << "the tone's bin";

    // Calibrated, dB SPL columns follow, the others keeping their places.
    ASSERT_TRUE(w.SetInputCalibration(94.0));
    ASSERT_TRUE(w.ExportSpectrum(path));
    file.close();
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QStringList calibrated = QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
    QFile::remove(path);
    ASSERT_EQ(calibrated.size(), 4099);
    EXPECT_EQ(calibrated[2], "frequency_hz,left_db,right_db,left_dbfs,right_dbfs,left_db_spl,right_db_spl");
    EXPECT_NEAR(calibrated[170 + 3].split(',')[5].toDouble(), 71.0, 0.01);
}

// The export holds the newest block's spectrum in every view, also in the
// constant-Q view, whose analysis skips the linear pass.
TEST_F(Exports, ExportsTheSpectrumOfNowInEveryView)
{
    CAnalyzerDlg& w = Open();
    const QString path = TempFile("now.csv");
    auto exportedPeakHz = [&] {
        EXPECT_TRUE(w.ExportSpectrum(path));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
        double peakHz = 0, peakDb = -1e9;
        for (int k = 2; k < lines.size(); ++k) {
            const QStringList cells = lines[k].split(',');
            if (cells[1].toDouble() > peakDb) {
                peakDb = cells[1].toDouble();
                peakHz = cells[0].toDouble();
            }
        }
        return peakHz;
    };
    // The constant-Q view first, as a start in that view; then each view
    // after a tone in the 2-D view.
    for (const int mode : {1, 0, 1, 2, 3, 4, 5}) {
        SCOPED_TRACE("view " + std::to_string(mode));
        w.SetDisplayMode(mode);
        for (const double tone : {3000.0, 700.0}) {
            for (int b = 0; b < 3; ++b) {
                PushSine(tone);
                Settle();
            }
            EXPECT_NEAR(exportedPeakHz(), tone, 60.0);
        }
        w.SetDisplayMode(0);
        PushSine(1500);
        Settle();
    }
    QFile::remove(path);
}

// A folder whose name holds a line break is not kept in the INI file, where
// its lines would become sections and keys; the picture is saved all the
// same.
TEST_F(Exports, AFolderWithALineBreakIsNotKept)
{
    CAnalyzerDlg& w = Open();
    PushSine(1000);
    Settle();
    const QString folder = TempFile("x\n[SettingWindow]\nMaxFreq=1e11");
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString path = folder + "/picture.png";
    CAnalyzerDlg::SetFileChooser([&](QWidget*, const QString&, const QString&, const QString&) { return path; });
    w.PictureMenu()->SavePictureAction()->trigger();
    EXPECT_FALSE(QImage(path).isNull()) << "saved";
    EXPECT_TRUE(messages.isEmpty());
    char stored[128];
    EXPECT_EQ(profile->ReadString("Export", "Folder", stored, sizeof stored), 0);
    EXPECT_EQ(profile->ReadString("SettingWindow", "MaxFreq", stored, sizeof stored), 0);
    QDir(folder).removeRecursively();
}

// On a full file system neither export reports success: the file that was
// there is left as it was, and no temporary file beside it.
TEST_F(Exports, ExportsOnAFullDiskFailAndKeepTheOldFile)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "a small tmpfs is mounted for this test, which needs root";
    const std::string disk = TempFile("full_disk").toStdString();
    mkdir(disk.c_str(), 0700);
    if (mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=64k") != 0) {
        rmdir(disk.c_str());
        GTEST_SKIP() << "no tmpfs could be mounted: " << std::strerror(errno);
    }
    struct Unmount {
        std::string folder;
        ~Unmount()
        {
            umount2(folder.c_str(), MNT_DETACH);
            rmdir(folder.c_str());
        }
    } unmount{disk};
    const std::string picture = disk + "/picture.png", spectrum = disk + "/spectrum.csv";
    std::ofstream(picture) << "the picture before";
    std::ofstream(spectrum) << "the spectrum before";
    {
        std::ofstream filler(disk + "/filler", std::ios::binary);
        const std::string block(4096, 'x');
        while (filler.write(block.data(), std::streamsize(block.size())) && filler.flush()) {
        }
    }
    CAnalyzerDlg& w = Open();
    PushSine(1000);
    Settle();
    EXPECT_FALSE(w.SavePicture(QString::fromStdString(picture)));
    EXPECT_FALSE(w.ExportSpectrum(QString::fromStdString(spectrum)));
    ASSERT_EQ(messages.size(), 2);
    EXPECT_TRUE(messages[0].contains(QString::fromStdString(picture)) && messages[0].contains("No space left")) << messages[0].toStdString();
    EXPECT_TRUE(messages[1].contains(QString::fromStdString(spectrum)) && messages[1].contains("No space left")) << messages[1].toStdString();
    std::ifstream before(picture);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(before), {}), "the picture before");
    std::ifstream beforeCsv(spectrum);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(beforeCsv), {}), "the spectrum before");
    EXPECT_EQ(QDir(QString::fromStdString(disk)).entryList(QDir::Files | QDir::Hidden).size(), 3) << "no temporary left";
}

} // namespace
