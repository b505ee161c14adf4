#pragma once

#include <QElapsedTimer>
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
// before it delivered anything. With a fallback set (a device chosen by
// name is in use), the loss is not reported at once: when the device has
// been gone for FallbackAfterMs the fallback runs, once, and the loss is
// reported only if the fallback could not take over.
class CCaptureKeeper : public QObject {
public:
    using Reporter = std::function<void(const QString& text)>;

    static constexpr int ReopenIntervalMs = 2000;
    static constexpr int FallbackAfterMs = 10000;
    // Takes over from a device that is gone; true when capture runs again.
    using Fallback = std::function<bool()>;

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
    // Set while a device chosen by name is in use; empty otherwise.
    void SetFallback(Fallback next) { fallback = std::move(next); }

private:
    void TryReopen();
    void ReportLoss();

    CWaveCapture& engine;
    QWidget* window;
    Reporter report;
    QString title;
    QTimer reopenTimer;
    std::atomic<int> generation{0};
    bool lossReported = false;
    long blocksSinceStart = 0;
    Fallback fallback;
    QString lossReason;
    QElapsedTimer lost;  // since the loss, while a fallback waits

};
