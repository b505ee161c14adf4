// What the transfer view's menu does to the main window.
#include <QInputDialog>

#include "app/analyzer_dlg.h"
#include "display/transfer_export.h"
#include "settings/measure_settings.h"
#include "store/stored_settings.h"

namespace {

constexpr double SamplesPerMs = 48.0;

} // namespace

void CAnalyzerDlg::ApplyTransferSettings(bool keep)
{
    const TransferSettings& s = SharedTransferSettings;
    transfer.SetSources(static_cast<TransferSource>(s.Reference), static_cast<TransferSource>(s.Measurement));
    if (transfer.Delay() != s.DelayMs * SamplesPerMs)
        transfer.SetDelay(s.DelayMs * SamplesPerMs);
    if (keep)
        StoreTransferSettings(profile, s);
    RepaintPicture();
}

void CAnalyzerDlg::SetTransferDelay(double milliseconds)
{
    SharedTransferSettings.DelayMs = milliseconds;
    ApplyTransferSettings();
}

bool CAnalyzerDlg::FindTransferDelay()
{
    const FoundDelay found = transfer.FindDelay();
    if (!found.found) {
        ShowError(QStringLiteral("No delay found: it takes %1 s of both signals while the transfer view is shown, "
                                 "and neither may be silent.")
                      .arg(CTransferMeasurement::KeptSeconds / 2));
        return false;
    }
    SetTransferDelay(found.samples / SamplesPerMs);
    return true;
}

void CAnalyzerDlg::ChooseTransferDelay()
{
    bool ok = false;
    const double limit = CTransferFunction::MaxDelaySeconds * 1000.0;
    const double ms = QInputDialog::getDouble(this, QStringLiteral("Delay"),
                                              QStringLiteral("Delay of the measurement behind the reference (ms):"),
                                              SharedTransferSettings.DelayMs, -limit, limit, 3, &ok);
    if (ok)
        SetTransferDelay(ms);
}

// The curve as the view shows it, with what was measured in comment lines.
bool CAnalyzerDlg::ExportTransfer(const QString& path)
{
    const std::string legend = CTransferView::Legend(transfer, SharedTransferSettings.Smoothing,
                                                         SharedTransferSettings.CoherenceThreshold / 100.0);
    std::vector<std::string> comments{"Tavimeter transfer function (H1 = Gxy / Gxx, coherence = |Gxy|^2 / (Gxx Gyy))"};
    for (size_t start = 0; start <= legend.size();) {
        const size_t end = std::min(legend.find('\n', start), legend.size());
        comments.push_back(legend.substr(start, end - start));
        start = end + 1;
    }
    const std::string csv = TransferCsv(TransferCurveShown(), comments);
    return WriteWholeFile(path, csv.data(), csv.size(),
                          QStringLiteral("The transfer function could not be written to %1:\n%2"));
}
