#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <atomic>
#include <functional>

class CWaveCapture;
class QWidget;

// Keeps the main window's capture going. When the sound input is lost it
// closes the device, says so in the window title and opens the same device
// again every two seconds, quietly, until it is back; the loss is reported
// once, not again for every failed attempt or for a device that fails again
// before it delivered anything.
class CCaptureKeeper : public QObject {
public:
    using Reporter = std::function<void(const QString& text)>;

    static constexpr int ReopenIntervalMs = 2000;

    CCaptureKeeper(CWaveCapture& engine, QWidget* window, Reporter report);

    // Starts capture, closing a device still open first; false, with the
    // reason in `problem`, when it cannot.
    bool Start(QString& problem);
    // The device failed; `reason` is its message. A loss already handled
    // (the engine is closed) is ignored.
    void Lost(const QString& reason);
    // A block was analysed: a later loss is news again.
    void BlockAnalysed()
    {
        lossReported = false;
        ++blocksSinceStart;
    }
    // Blocks analysed since capture last started (or started again).
    long BlocksSinceStart() const { return blocksSinceStart; }
    // Counts the starts: notifications tagged with an earlier count belong
    // to a device that is gone. Read from the device's thread too.
    int Generation() const { return generation.load(std::memory_order_acquire); }
    // Capture was started from outside (another input): no more attempts,
    // and the title is as before the loss.
    void Resume();
    // The window closes: no more attempts.
    void StopReopening() { reopenTimer.stop(); }

private:
    void TryReopen();

    CWaveCapture& engine;
    QWidget* window;
    Reporter report;
    QString title;
    QTimer reopenTimer;
    std::atomic<int> generation{0};
    bool lossReported = false;
    long blocksSinceStart = 0;
};
