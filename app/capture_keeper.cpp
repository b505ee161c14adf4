#include "app/capture_keeper.h"

#include <QWidget>

#include "analysis/wave_capture.h"

CCaptureKeeper::CCaptureKeeper(CWaveCapture& engine, QWidget* window, Reporter report)
    : engine(engine), window(window), report(std::move(report))
{
    reopenTimer.setInterval(ReopenIntervalMs);
    connect(&reopenTimer, &QTimer::timeout, this, [this] { TryReopen(); });
}

bool CCaptureKeeper::Start(QString& problem)
{
    // A device still open says goodbye under the old count; the new one may
    // fail as soon as it is open, on its own thread, and its notifications
    // must already carry the new count.
    engine.Close();
    generation.fetch_add(1, std::memory_order_release);
    try {
        engine.Start();
    } catch (const CaptureError& e) {
        problem = QString::fromStdString(e.what());
        return false;
    }
    blocksSinceStart = 0;
    return true;
}

void CCaptureKeeper::Lost(const QString& reason)
{
    if (!engine.IsOpen())
        return;
    engine.Close();
    if (!reopenTimer.isActive()) {
        title = window->windowTitle();
        window->setWindowTitle(title + QStringLiteral(" \u2014 no sound input"));
        reopenTimer.start();
        lost.start();
    }
    lossReason = reason;
    if (!fallback)
        ReportLoss();
}

void CCaptureKeeper::ReportLoss()
{
    if (lossReported)
        return;
    lossReported = true;
    report(QStringLiteral("The sound input stopped:\n%1\n\nTavimeter opens it again as soon as it is back.")
               .arg(lossReason));
}

void CCaptureKeeper::TryReopen()
{
    QString problem;
    if (Start(problem)) {
        reopenTimer.stop();
        window->setWindowTitle(title);
        return;
    }
    if (!fallback || lost.elapsed() < FallbackAfterMs)
        return;
    // Once: the fallback may set a fallback of its own.
    const Fallback takeOver = std::move(fallback);
    fallback = nullptr;
    if (!takeOver())
        ReportLoss();
}

void CCaptureKeeper::Resume()
{
    if (!reopenTimer.isActive())
        return;
    reopenTimer.stop();
    window->setWindowTitle(title);
}
