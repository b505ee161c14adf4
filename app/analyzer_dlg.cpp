#include "app/analyzer_dlg.h"

#include <QContextMenuEvent>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>

#include <chrono>
#include <cstdio>
#include <thread>

#include "app/input_listing.h"
#include "app/measure_menu.h"
#include "app/picture_menu.h"
#include "app/picture_presenter.h"
#include "framework/dialog_builder.h"
#include "framework/frequency_scale_painter.h"
#include "framework/window_placement.h"
#include "resources/dialog_templates.h"
#include "settings/measure_settings.h"
#include "settings/shared_settings.h"
#include "store/profile.h"
#include "store/stored_settings.h"
#include "ui/keyboard_dlg.h"
#include "ui/calibration_dlg.h"
#include "ui/generator_dlg.h"
#include "input/pulse_output.h"
#include "ui/meter_dlg.h"
#include "ui/setting_dlg.h"

namespace {

const char* const WindowSection = "Window";
// Our own section beside the design's.
const char* const ViewSection = "View";

CAnalyzerDlg::MessagePresenter& Presenter()
{
    static CAnalyzerDlg::MessagePresenter presenter = [](QWidget* parent, const QString& text) {
        QMessageBox::information(parent, QStringLiteral("Tavimeter"), text);
    };
    return presenter;
}

} // namespace

// The client area: the picture alone, beside the scroll bar.
class CPictureArea : public QWidget {
public:
    explicit CPictureArea(CAnalyzerDlg* owner) : QWidget(owner), owner(owner)
    {
        setAttribute(Qt::WA_OpaquePaintEvent);
        setMouseTracking(true);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    }

protected:
    void paintEvent(QPaintEvent* e) override { owner->OnPaint(e->region()); }
    void resizeEvent(QResizeEvent*) override { owner->OnSize(); }
    void mouseMoveEvent(QMouseEvent* e) override
    {
        owner->OnMouseMove(int(e->position().x()), int(e->position().y()));
    }
    void leaveEvent(QEvent*) override { owner->OnMouseLeave(); }

private:
    CAnalyzerDlg* owner;
};

void CAnalyzerDlg::SetMessagePresenter(MessagePresenter presenter)
{
    Presenter() = std::move(presenter);
}

static QImage LoadIcon()
{
    Q_INIT_RESOURCE(resources);
    return QImage(QStringLiteral(":/tavimeter/icon128.png"));
}

CAnalyzerDlg::CAnalyzerDlg(CProfile& profile, WaveInputDriver* driver)
    : icon(LoadIcon()), engine(driver), keeper(engine, this, [this](const QString& text) { ShowError(text); }),
      profile(profile), inputDriver(driver)
{
    engine.SetDisplayModeSource(DisplayModeSource());
    SetMeasurement(&readings.Measurement());
    engine.AddConsumer(&transfer);
    SetTransfer(&transfer);
    const DialogTemplate* t = FindDialogTemplate(MainWindowTemplate);
    BuildDialog(this, this, *t);
    setWindowIcon(QIcon(QPixmap::fromImage(icon)));

    picture = new CPictureArea(this);
    presenter = std::make_unique<CPicturePresenter>(*picture, *this, [this] { return WindowOverlayArea(); });
    scrollBar = new QScrollBar(Qt::Vertical, this);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(picture, 1);
    layout->addWidget(scrollBar);
    const QSize client = DialogUnitsToPixels(t->cx, t->cy, logicalDpiY());
    resize(client.width() + scrollBar->sizeHint().width(), client.height());
    ConnectScrollBar();
    chosenInputWatch.setInterval(CCaptureKeeper::ReopenIntervalMs);
    connect(&chosenInputWatch, &QTimer::timeout, this, [this] {
        if (inputListing)
            inputListing->Refresh();
    });
}

CAnalyzerDlg::~CAnalyzerDlg()
{
    // The generator fades out rather than stopping short.
    if (generatorOutput && generatorOutput->Now().running) {
        generatorOutput->Stop();
        std::this_thread::sleep_for(std::chrono::milliseconds(CPulseOutput::SilentAfterStopMs));
    }
    engine.Close();
    engine.RemoveConsumer(&transfer);
}

QWidget* CAnalyzerDlg::PictureArea() const
{
    return picture;
}

RECT CAnalyzerDlg::ClientRect() const
{
    return RECT{0, 0, picture->width(), picture->height()};
}

bool CAnalyzerDlg::OnInitDialog()
{
    RestorePlacement();
    layout()->activate();
    const RECT rc = ClientRect();
    CreateSurface(&surfaces, rc, &engine);
    presenter->Resize(rc);

    engine.SetNotifyWindow(this);
    StartCapture();
    // It reads its settings, fills the shared settings and builds the
    // colour table.
    settingsPanel = std::make_unique<CSettingDlg>(*this, profile, this);
    // Created hidden; it keeps its placement.
    keyboardWindow = std::make_unique<CKeyboardDlg>(profile, this);
    keyboardWindow->SetCloseHandler([this] { SetShowKeyboard(false); });
    meterWindow = std::make_unique<CMeterDlg>(profile, this);
    meterWindow->SetCloseHandler([this] { SetShowMeter(false); });
    meterWindow->SetResetHandler([this] { ResetMeters(); });
    meterWindow->SetLevelsHandler([this] {
        UpdateMeterWanted();
        ShowMeterReadings();
    });
    ApplyInputCalibration();
    frequencyScale = profile.ReadInt(ViewSection, "FrequencyScale") != 0;
    LoadMeasureSettings(profile, SharedMeasureSettings);
    LoadTransferSettings(profile, SharedTransferSettings);
    ApplyTransferSettings(false);
    if (profile.ReadInt(ViewSection, "ShowTempo") != 0)
        SetShowTempo(true);
    if (profile.ReadInt(ViewSection, "ShowKeyboard") != 0)
        SetShowKeyboard(true);
    if (profile.ReadInt(ViewSection, "ShowMeter") != 0)
        SetShowMeter(true);
    pictureMenu = new CPictureMenu(*this);
    if (inputListing)
        inputListing->Refresh();

    const int h = RectHeight(rc);
    scrollBar->setPageStep(100);
    scrollRangeMax = static_cast<int>(h - h / Zoom() + 100);
    scrollBar->setRange(0, std::max(0, scrollRangeMax - 100 + 1));
    UpdateScrollBar();
    initialised = 1;
    return true;
}

// Starts capture from the input in use. One chosen in an earlier run that
// cannot be opened gives way to the default input until it is back, with a
// message. Without any input the program has nothing to show: the message
// is shown once the window runs, over it, and the window closes after it.
void CAnalyzerDlg::StartCapture()
{
    QString problem;
    if (keeper.Start(problem))
        ArmFallback();
    else if (inputChoice.currentFromStore && inputChoice.open)
        StandInWithTheDefault(QStringLiteral("chosen last time could not be opened"));
    if (!engine.IsOpen()) {
        captureFailed = true;
        const QString text = QStringLiteral("The sound input could not be started:\n%1").arg(problem);
        QMetaObject::invokeMethod(this, [this, text] { ShowError(text); reject(); }, Qt::QueuedConnection);
    }
}

// Nothing stored: centred on its screen, before the tool windows are
// placed beside it.
void CAnalyzerDlg::RestorePlacement()
{
    QRect placed;
    if (RestoreStoredRectangle(profile, WindowSection, placed))
        setGeometry(placed);
    else if (screen())
        move(PlaceCentred(frameGeometry().size(), screen()->availableGeometry()).topLeft());
}

void CAnalyzerDlg::SavePlacement()
{
    StoreRectangle(profile, WindowSection, geometry());
}

void CAnalyzerDlg::OnPaint(const QRegion& region)
{
    QPainter painter(picture);
    if (isMinimized()) {
        const QPixmap pixmap = QPixmap::fromImage(icon);
        const int x = (picture->width() - pixmap.width() + 1) / 2;
        const int y = (picture->height() - pixmap.height() + 1) / 2;
        painter.fillRect(picture->rect(), palette().window());
        painter.drawPixmap(x, y, pixmap);
        presenter->PaintedSomethingElse();
        return;
    }
    if (!presenter->HasPicture()) {
        painter.fillRect(picture->rect(), Qt::black);
        presenter->PaintedSomethingElse();
        return;
    }
    presenter->Paint(painter, region);
    if (frequencyScale)
        scaleOverlay.Paint(painter, ScaleViewNow());
    if (showTempo)
        PaintTempo(painter);
    PaintBandReadout(painter);
    if (blockWaiting) {
        blockWaiting = false;
        ++blocksPainted;
    }
}

void CAnalyzerDlg::OnSize()
{
    if (!initialised)
        return;
    UpdateScrollBar();
    const RECT rc = ClientRect();
    ResizeSurface(rc);
    presenter->Resize(rc);
}

void CAnalyzerDlg::UpdateScrollBar()
{
    const int h = picture->height();
    const double z = Zoom();
    scrollRangeMax = z == 1.0 ? 0 : static_cast<int>(h - h / z + 100);
    scrollBar->setRange(0, std::max(0, scrollRangeMax - scrollBar->pageStep() + 1));
    scrollBar->setEnabled(scrollRangeMax > 0);
    scrollBar->setValue(static_cast<int>(h - h / z - Offset()));
}

void CAnalyzerDlg::OnVScroll(int code, int thumbPosition)
{
    const int h = picture->height();
    const double z = Zoom();
    const int start = scrollBar->value();
    int pos = start;
    int offset = Offset();
    switch (code) {
    case LineUp: pos -= 5; break;
    case LineDown: pos += 5; break;
    case PageUp: pos -= 20; break;
    case PageDown: pos += 20; break;
    case ThumbPosition:
    case ThumbTrack:
        pos = thumbPosition;
        offset = static_cast<int>(h - h / z - pos);
        break;
    default: break;
    }
    if (pos < 0)
        pos = 0;
    if (code == EndScroll)
        offset = static_cast<int>(h - h / z - start);
    else
        scrollBar->setValue(pos);
    SetOffset(offset);
}

void CAnalyzerDlg::ConnectScrollBar()
{
    connect(scrollBar, &QScrollBar::actionTriggered, this, [this](int action) {
        switch (action) {
        case QAbstractSlider::SliderSingleStepSub: OnVScroll(LineUp, 0); break;
        case QAbstractSlider::SliderSingleStepAdd: OnVScroll(LineDown, 0); break;
        case QAbstractSlider::SliderPageStepSub: OnVScroll(PageUp, 0); break;
        case QAbstractSlider::SliderPageStepAdd: OnVScroll(PageDown, 0); break;
        case QAbstractSlider::SliderMove: OnVScroll(ThumbTrack, scrollBar->sliderPosition()); break;
        default: break;
        }
    });
    connect(scrollBar, &QScrollBar::sliderReleased, this, [this] { OnVScroll(ThumbPosition, scrollBar->value()); });
    scrollBar->installEventFilter(this);
}

bool CAnalyzerDlg::eventFilter(QObject* watched, QEvent* e)
{
    // End of scroll comes with the release of the mouse, after the scroll
    // bar has handled the release itself.
    if (watched == scrollBar && e->type() == QEvent::MouseButtonRelease)
        QMetaObject::invokeMethod(this, [this] { OnVScroll(EndScroll, 0); }, Qt::QueuedConnection);
    return QDialog::eventFilter(watched, e);
}

void CAnalyzerDlg::keyPressEvent(QKeyEvent* e)
{
    // Enter ends the window like Escape does: it has no buttons.
    if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
        accept();
        return;
    }
    if (e->key() == Qt::Key_R && e->modifiers() == Qt::NoModifier && pictureMenu) {
        pictureMenu->MeasureMenu()->ResetAction()->trigger();
        return;
    }
    QDialog::keyPressEvent(e);
}

void CAnalyzerDlg::OnMouseMove(int x, int y)
{
    const int h = picture->height();
    const int row = static_cast<int>((h - y) / Zoom() + Offset());
    SetCursor(CursorFrequency(row, h), y);
    // The bands view's readout follows the mouse, also while paused.
    const QRegion before = WindowOverlayArea();
    mouseX = x;
    mouseY = y;
    mouseInside = true;
    if (GetDisplayMode() == OctaveBands || GetDisplayMode() == TransferFunction)
        picture->update(before | WindowOverlayArea());
}

void CAnalyzerDlg::OnMouseLeave()
{
    const QRegion before = WindowOverlayArea();
    mouseInside = false;
    if (GetDisplayMode() == OctaveBands || GetDisplayMode() == TransferFunction)
        picture->update(before);
}

void CAnalyzerDlg::ZoomIn()
{
    CRenderer::ZoomIn(ClientRect());
    UpdateScrollBar();
}

void CAnalyzerDlg::ZoomOut()
{
    CRenderer::ZoomOut(ClientRect());
    UpdateScrollBar();
}

void CAnalyzerDlg::SetDisplayMode(int mode)
{
    CRenderer::SetDisplayMode(mode);
    if (settingsPanel)
        settingsPanel->ShowDisplayMode(mode);
}

void CAnalyzerDlg::ReconfigureConstantQ()
{
    engine.ReconfigureConstantQ();
}

void CAnalyzerDlg::UpdateCQWrapBand()
{
    CRenderer::UpdateCQWrapBand();
}

void CAnalyzerDlg::RepaintPicture()
{
    picture->update();
}

void CAnalyzerDlg::contextMenuEvent(QContextMenuEvent* e)
{
    if (!pictureMenu)
        return;
    const QPoint at = e->reason() == QContextMenuEvent::Mouse ? e->globalPos()
                                                               : picture->mapToGlobal(picture->rect().center());
    pictureMenu->popup(at);
}

// The panel is hidden with the minimised main window and shown again with
// it, as the desktop does with a window's tool windows.
void CAnalyzerDlg::changeEvent(QEvent* e)
{
    QDialog::changeEvent(e);
    if (e->type() != QEvent::WindowStateChange || !settingsPanel || destroyed)
        return;
    settingsPanel->setVisible(!isMinimized());
    if (keyboardWindow)
        keyboardWindow->setVisible(showKeyboard && !isMinimized());
    if (meterWindow)
        meterWindow->setVisible(showMeter && !isMinimized());
}

void CAnalyzerDlg::OnDestroy()
{
    if (destroyed)
        return;
    destroyed = true;
    keeper.StopReopening();
    engine.Close();
    keyboardWindow.reset();
    calibrationWindow.reset();
    meterWindow.reset();
    CLevelLog& levelLog = readings.LevelLog();
    if (!levelLog.Close())
        std::fprintf(stderr, "tavimeter: the level log %s could not be written: %s\n", levelLog.Path().c_str(),
                     levelLog.Reason().c_str());
    settingsPanel.reset();
    SavePlacement();
}

void CAnalyzerDlg::done(int result)
{
    OnDestroy();
    QDialog::done(result);
}

void CAnalyzerDlg::ShowError(const QString& text)
{
    Presenter()(this, text);
}
