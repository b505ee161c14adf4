#include "app/analyzer_dlg.h"

#include <QPainter>

#include <algorithm>

#include "display/bands_view.h"
#include "framework/frequency_scale_painter.h"

// What the window paints over the renderer's picture: the frequency scale,
// the tempo readout, and in the bands view the level under the mouse.

// The scale's view of the picture; the overlay takes the label space from
// its font.
ScaleView CAnalyzerDlg::ScaleViewNow() const
{
    return ScaleView{GetDisplayMode(), PictureArea()->height(), Zoom(), Offset(), 0};
}

QRect CAnalyzerDlg::TempoBox(const QFontMetrics& metrics, const QString& text) const
{
    return QRect(PictureArea()->width() - metrics.horizontalAdvance(text) - 12, 4, metrics.horizontalAdvance(text) + 8,
                 metrics.height() + 2);
}

QRegion CAnalyzerDlg::WindowOverlayArea() const
{
    const QFontMetrics metrics(PictureArea()->font());
    QRegion area;
    if (frequencyScale)
        area |= scaleOverlay.Area(ScaleViewNow(), PictureArea()->font());
    if (showTempo)
        area |= TempoBox(metrics, TempoReadout()).adjusted(-1, -1, 1, 1);
    const QString readout = BandReadout();
    if (!readout.isEmpty())
        area |= BandReadoutBox(metrics, readout).adjusted(-1, -1, 1, 1);
    return area;
}

void CAnalyzerDlg::PaintTempo(QPainter& painter)
{
    const QString text = TempoReadout();
    const QRect box = TempoBox(QFontMetrics(painter.font()), text);
    painter.fillRect(box, QColor(0, 0, 0, 160));
    painter.setPen(QColor(255, 255, 255));
    painter.drawText(box, Qt::AlignCenter, text);
}

QString CAnalyzerDlg::BandReadout() const
{
    if (GetDisplayMode() == TransferFunction && mouseInside)
        return QString::fromStdString(CTransferView::Readout(mouseX, PictureArea()->width(), TransferCurveShown()));
    if (GetDisplayMode() != OctaveBands || !mouseInside)
        return QString();
    return QString::fromStdString(calibration.calibrated
                                      ? CBandsView::Readout(mouseX, PictureArea()->width(), readings.Measurement(),
                                                            calibration.offset, "dB SPL")
                                      : CBandsView::Readout(mouseX, PictureArea()->width(), readings.Measurement()));
}

// Above and right of the pointer, kept inside the picture.
QRect CAnalyzerDlg::BandReadoutBox(const QFontMetrics& metrics, const QString& text) const
{
    const int w = metrics.horizontalAdvance(text) + 8, h = metrics.height() + 2;
    const int x = std::clamp(mouseX + 12, 0, std::max(0, PictureArea()->width() - w));
    const int y = std::clamp(mouseY - h - 4, 0, std::max(0, PictureArea()->height() - h));
    return QRect(x, y, w, h);
}

void CAnalyzerDlg::PaintBandReadout(QPainter& painter)
{
    const QString text = BandReadout();
    if (text.isEmpty())
        return;
    const QRect box = BandReadoutBox(QFontMetrics(painter.font()), text);
    painter.fillRect(box, QColor(255, 255, 224));
    painter.setPen(QColor(0, 0, 0));
    painter.drawRect(box.adjusted(0, 0, -1, -1));
    painter.drawText(box, Qt::AlignCenter, text);
}
