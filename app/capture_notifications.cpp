#include "app/analyzer_dlg.h"

#include <QCoreApplication>

#include "app/capture_events.h"
#include "app/picture_presenter.h"
#include "ui/meter_dlg.h"

// The main window's side of capture: the device's notifications, posted
// from its thread as events, and handled here on the GUI thread, where each
// filled buffer is analysed, drawn and shown.

bool CAnalyzerDlg::event(QEvent* e)
{
    switch (static_cast<int>(e->type())) {
    case CaptureEvents::WimData:
        OnCaptureData();
        return true;
    case CaptureEvents::WimClose:
        if (static_cast<CaptureEvents::WimCloseEvent*>(e)->generation == keeper.Generation())
            engine.Close();
        return true;
    case CaptureEvents::InputEnded:
        if (static_cast<CaptureEvents::InputEndedEvent*>(e)->generation == keeper.Generation())
            setWindowTitle(QStringLiteral("Tavimeter \u2014 end of %1").arg(inputName));
        return true;
    case CaptureEvents::DeviceFailed: {
        const auto* failure = static_cast<CaptureEvents::DeviceFailedEvent*>(e);
        if (failure->generation == keeper.Generation())
            InputLost(failure->message);
        return true;
    }
    default:
        return QDialog::event(e);
    }
}

// While no block comes the meter measures nothing: it reads -inf, not the
// last block's levels.
void CAnalyzerDlg::InputLost(const QString& reason)
{
    keeper.Lost(reason);
    if (meterWindow) {
        meterWindow->SetReadings(nullptr);
        meterWindow->SetSoundLevels(nullptr);
    }
}

void CAnalyzerDlg::OnCaptureData()
{
    if (destroyed)
        return;
    const int before = engine.CurrentBuffer();
    try {
        engine.ProcessBlock();
    } catch (const CaptureError& e) {
        InputLost(QString::fromStdString(e.what()));
        return;
    }
    if (engine.CurrentBuffer() == before)
        return;  // nothing was due: a stale notification
    ++blocksAnalysed;
    keeper.BlockAnalysed();
    const SurfaceChange change = DrawBlock(ClientRect());
    if (showKeyboard)
        FeedKeyboard();
    FeedMeterAndLog();
    blockWaiting = true;
    // Paint now: every analysed block gets its own picture.
    presenter->ShowBlock(change);
}

void CAnalyzerDlg::PostWaveData(WaveHeader*)
{
    QCoreApplication::postEvent(this, new QEvent(CaptureEvents::WimData));
}

void CAnalyzerDlg::PostWaveClose()
{
    QCoreApplication::postEvent(this, new CaptureEvents::WimCloseEvent(keeper.Generation()));
}

void CAnalyzerDlg::PostWaveEnd()
{
    QCoreApplication::postEvent(this, new CaptureEvents::InputEndedEvent(keeper.Generation()));
}

void CAnalyzerDlg::PostWaveError(const std::string& message)
{
    QCoreApplication::postEvent(this,
                                new CaptureEvents::DeviceFailedEvent(QString::fromStdString(message), keeper.Generation()));
}
