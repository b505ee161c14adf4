#include <QFile>
#include <QTest>

#include <cmath>
#include <random>

#include "app/picture_menu.h"
#include "app/transfer_menu.h"
#include "settings/measure_settings.h"
#include "tests/gui/main_window_fixture.h"

namespace {

class Transfer : public MainWindow {
protected:
    void SetUp() override
    {
        MainWindow::SetUp();
        SharedTransferSettings = TransferSettings();
        SharedMeasureSettings = MeasureSettings();
    }
    void TearDown() override
    {
        CAnalyzerDlg::SetFileChooser(nullptr);
        MainWindow::TearDown();
        SharedTransferSettings = TransferSettings();
    }
    // Blocks of white noise on the left and, on the right, the same noise
    // 240 samples (5 ms) later at half its amplitude (-6.02 dB).
    void PushSystem(int blocks)
    {
        std::vector<int16_t> frames(2 * 2048);
        for (int b = 0; b < blocks; ++b) {
            for (int i = 0; i < 2048; ++i) {
                history.push_back(int16_t(std::lround(normal(random) * 3000)));
                const size_t n = history.size() - 1;
                frames[size_t(2 * i)] = history[n];
                frames[size_t(2 * i + 1)] = n >= 240 ? int16_t(history[n - 240] / 2) : int16_t(0);
            }
            driver.last->Push(frames);
            Settle();
        }
    }
    std::mt19937 random{3};
    std::normal_distribution<double> normal;
    std::vector<int16_t> history;
};

// From the picture's menu: the transfer view of right against left; "Find
// delay" finds 5 ms and keeps it; the export reads the system (-6.0 dB,
// no phase once the delay is removed, coherent); the choices are kept for
// the next run; finding a delay in silence says why it cannot.
TEST_F(Transfer, FromTheMenuTheDelayFoundTheExportAndTheNextRun)
{
    CAnalyzerDlg& w = Open();
    w.PictureMenu()->ModeMenu()->actions()[8]->trigger();
    ASSERT_EQ(w.GetDisplayMode(), CRenderer::TransferFunction);
    CTransferMenu* menu = w.PictureMenu()->TransferMenu();
    menu->FindDelayAction()->trigger();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].startsWith("No delay found")) << messages[0].toStdString();

    menu->Choice("Smoothing", 6)->trigger();
    PushSystem(30);
    menu->FindDelayAction()->trigger();
    EXPECT_NEAR(SharedTransferSettings.DelayMs, 5.0, 0.01);
    char stored[64] = "";
    profile->ReadString("Transfer", "DelayMs", stored, sizeof stored);
    EXPECT_NEAR(std::atof(stored), 5.0, 0.01) << stored;
    PushSystem(40);

    const QString path = QDir::temp().filePath(QString("tavi_%1_transfer.csv").arg(getpid()));
    CAnalyzerDlg::SetFileChooser([&](QWidget*, const QString&, const QString&, const QString&) { return path; });
    w.PictureMenu()->ExportSpectrumAction()->trigger();
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
    file.remove();
    ASSERT_GT(lines.size(), 1000);
    EXPECT_TRUE(lines.contains("* frequency_hz,magnitude_db,phase_degrees,coherence"));
    int checked = 0;
    for (const QString& line : lines) {
        const QStringList v = line.split(',');
        if (line.startsWith('*') || v[0].toDouble() < 100 || v[0].toDouble() > 10000)
            continue;
        EXPECT_NEAR(v[1].toDouble(), -6.02, 0.1) << line.toStdString();
        EXPECT_NEAR(v[2].toDouble(), 0.0, 2.0) << line.toStdString();
        EXPECT_GT(v[3].toDouble(), 0.99) << line.toStdString();
        ++checked;
    }
    EXPECT_GT(checked, 3000);

    dialog.reset();
    SharedTransferSettings = TransferSettings();
    CAnalyzerDlg& again = Open();
    EXPECT_EQ(SharedTransferSettings.Smoothing, 6);
    EXPECT_NEAR(again.Transfer().Delay(), 240.0, 0.5);
}

} // namespace
