#include "app/analyzer_dlg.h"

#include <QBuffer>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QImageWriter>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

#include <cmath>

#include "app/capture_events.h"
#include "app/input_listing.h"
#include "app/picture_menu.h"
#include "app/picture_presenter.h"
#include "app/dialog_builder.h"
#include "app/profile.h"
#include "app/replacement_file.h"
#include "app/window_placement.h"
#include "settings/shared_settings.h"
#include "resources/dialog_templates.h"
#include "display/keyboard_dlg.h"
#include "display/pitch_classes.h"
#include "dsp/frequency_axis.h"
#include "display/frequency_scale_painter.h"
#include "display/spectrum_export.h"
#include "ui/setting_dlg.h"

namespace {

const char* const WindowSection = "Window";
// Our own keys beside the design's.
const char* const ExportSection = "Export";
const char* const ViewSection = "View";
const char* const InputSection = "Input";

CAnalyzerDlg::MessagePresenter& Presenter()
{
    static CAnalyzerDlg::MessagePresenter presenter = [](QWidget* parent, const QString& text) {
        QMessageBox::information(parent, QStringLiteral("Tavimeter"), text);
    };
    return presenter;
}

CAnalyzerDlg::FileChooser& Chooser()
{
    static CAnalyzerDlg::FileChooser chooser = [](QWidget* parent, const QString& caption, const QString& proposal,
                                                  const QString& filter) {
        return QFileDialog::getSaveFileName(parent, caption, proposal, filter);
    };
    return chooser;
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

private:
    CAnalyzerDlg* owner;
};

void CAnalyzerDlg::SetMessagePresenter(MessagePresenter presenter)
{
    Presenter() = std::move(presenter);
}

void CAnalyzerDlg::SetFileChooser(FileChooser chooser)
{
    Chooser() = std::move(chooser);
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
}

CAnalyzerDlg::~CAnalyzerDlg()
{
    engine.Close();
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
    QString problem;
    if (!keeper.Start(problem) && inputChoice.currentFromStore && inputChoice.open) {
        const QString stored = QString::fromStdString(inputChoice.current);
        chosenDriver = inputChoice.open("");
        inputDriver = chosenDriver.get();
        engine.SetDriver(inputDriver);
        inputChoice.current.clear();
        if (keeper.Start(problem))
            QMetaObject::invokeMethod(
                this,
                [this, stored] {
                    ShowError(QStringLiteral("The input %1 chosen last time could not be opened; the default input is "
                                             "used.")
                                  .arg(stored));
                },
                Qt::QueuedConnection);
    }
    if (!engine.IsOpen()) {
        // Shown once the window runs, over the window; without its input the
        // program has nothing to show, so the window closes after it.
        captureFailed = true;
        const QString text = QStringLiteral("The sound input could not be started:\n%1").arg(problem);
        QMetaObject::invokeMethod(this, [this, text] { ShowError(text); reject(); }, Qt::QueuedConnection);
    }
    // It reads its settings, fills the shared settings and builds the
    // colour table.
    settingsPanel = std::make_unique<CSettingDlg>(*this, profile, this);
    // Created hidden; it keeps its placement.
    keyboardWindow = std::make_unique<CKeyboardDlg>(profile, this);
    keyboardWindow->SetCloseHandler([this] { SetShowKeyboard(false); });
    frequencyScale = profile.ReadInt(ViewSection, "FrequencyScale") != 0;
    if (profile.ReadInt(ViewSection, "ShowTempo") != 0)
        SetShowTempo(true);
    if (profile.ReadInt(ViewSection, "ShowKeyboard") != 0)
        SetShowKeyboard(true);
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

void CAnalyzerDlg::RestorePlacement()
{
    QRect placed;
    if (RestoreStoredRectangle(profile, WindowSection, placed))
        setGeometry(placed);
}

void CAnalyzerDlg::SavePlacement()
{
    StoreRectangle(profile, WindowSection, geometry());
}

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
            keeper.Lost(failure->message);
        return true;
    }
    default:
        return QDialog::event(e);
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
        keeper.Lost(QString::fromStdString(e.what()));
        return;
    }
    if (engine.CurrentBuffer() == before)
        return;  // nothing was due: a stale notification
    ++blocksAnalysed;
    keeper.BlockAnalysed();
    const SurfaceChange change = DrawBlock(ClientRect());
    if (showKeyboard)
        FeedKeyboard();
    blockWaiting = true;
    // Paint now: every analysed block gets its own picture.
    presenter->ShowBlock(change);
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
        PaintFrequencyScale(painter, ScaleTicks(QFontMetrics(painter.font())));
    if (showTempo)
        PaintTempo(painter);
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
    QDialog::keyPressEvent(e);
}

void CAnalyzerDlg::OnMouseMove(int, int y)
{
    const int h = picture->height();
    const int row = static_cast<int>((h - y) / Zoom() + Offset());
    SetCursor(CursorFrequency(row, h), y);
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

void CAnalyzerDlg::SetPause(bool on)
{
    SharedSettings.Pause = on;
    if (settingsPanel)
        settingsPanel->ShowPause(on);
    RepaintPicture();
}

QString CAnalyzerDlg::ChooseFile(const QString& caption, const QString& name, const QString& filter)
{
    // A folder longer than the store reads back whole is not offered.
    char folder[128] = {};
    const int length = profile.ReadString(ExportSection, "Folder", folder, sizeof folder);
    const QString start = length > 0 && length < 127 ? QString::fromUtf8(folder) : QDir::homePath();
    const QString path = Chooser()(this, caption, start + QLatin1Char('/') + name, filter);
    if (!path.isEmpty())
        profile.WriteString(ExportSection, "Folder", QFileInfo(path).absolutePath().toUtf8().constData());
    return path;
}

void CAnalyzerDlg::ChooseAndSavePicture()
{
    const QString path = ChooseFile(QStringLiteral("Save picture"), QStringLiteral("tavimeter.png"),
                                    QStringLiteral("PNG images (*.png)"));
    if (!path.isEmpty())
        SavePicture(path);
}

void CAnalyzerDlg::ChooseAndExportSpectrum()
{
    const QString path = ChooseFile(QStringLiteral("Export spectrum"), QStringLiteral("spectrum.csv"),
                                    QStringLiteral("CSV files (*.csv)"));
    if (!path.isEmpty())
        ExportSpectrum(path);
}

bool CAnalyzerDlg::SavePicture(const QString& path)
{
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    if (!writer.write(picture->grab().toImage())) {
        ShowError(QStringLiteral("The picture could not be saved to %1:\n%2").arg(path, writer.errorString()));
        return false;
    }
    return WriteWholeFile(path, png.constData(), static_cast<size_t>(png.size()),
                          QStringLiteral("The picture could not be saved to %1:\n%2"));
}

bool CAnalyzerDlg::ExportSpectrum(const QString& path)
{
    engine.UpdateLinearSpectrum();
    const float* left = engine.GetSpectrum(0) + CWaveCapture::SecondSpectrum;
    const float* right = SharedSettings.Stereo ? engine.GetSpectrum(1) + CWaveCapture::SecondSpectrum : nullptr;
    const std::string csv = SpectrumCsv(left, right);
    return WriteWholeFile(path, csv.data(), csv.size(), QStringLiteral("The spectrum could not be written to %1:\n%2"));
}

// The file is replaced only once its new contents are on the disk whole;
// otherwise the message (with %1 the file and %2 the reason) is shown and
// the file is as it was.
bool CAnalyzerDlg::WriteWholeFile(const QString& path, const void* data, size_t size, const QString& failure)
{
    std::string reason;
    if (ReplaceFileContents(QFile::encodeName(path).toStdString(), data, size, reason))
        return true;
    ShowError(failure.arg(path, QString::fromLocal8Bit(reason.c_str())));
    return false;
}

void CAnalyzerDlg::SetFrequencyScale(bool on)
{
    frequencyScale = on;
    profile.WriteInt(ViewSection, "FrequencyScale", on ? 1 : 0);
    RepaintPicture();
}

void CAnalyzerDlg::SetInputChoice(InputChoice choice)
{
    inputChoice = std::move(choice);
    inputListing = inputChoice.list ? std::make_unique<CInputListing>(inputChoice.list) : nullptr;
}

bool CAnalyzerDlg::SwitchInput(const std::string& name)
{
    if (!inputChoice.open)
        return false;
    std::unique_ptr<WaveInputDriver> next = inputChoice.open(name);
    engine.Close();
    engine.SetDriver(next.get());
    QString problem;
    if (keeper.Start(problem)) {
        keeper.Resume();
        chosenDriver = std::move(next);
        inputDriver = chosenDriver.get();
        inputChoice.current = name;
        profile.WriteString(InputSection, "Device", name.c_str());
        return true;
    }
    engine.SetDriver(inputDriver);
    QString again;
    keeper.Start(again);
    ShowError(QStringLiteral("The input %1 could not be opened:\n%2\n\nThe input in use stays.")
                  .arg(QString::fromStdString(name), problem));
    return false;
}

void CAnalyzerDlg::SetShowTempo(bool on)
{
    showTempo = on;
    SharedSettings.TempoDetector = on;
    if (settingsPanel)
        settingsPanel->ShowTempoDetector(on);
    profile.WriteInt(ViewSection, "ShowTempo", on ? 1 : 0);
    RepaintPicture();
}

QString CAnalyzerDlg::TempoReadout() const
{
    if (!engine.TempoIsBeat())
        return QStringLiteral("\u2014 bpm");
    return QStringLiteral("%1 bpm").arg(engine.TempoBpm(), 0, 'f', 0);
}

std::vector<ScaleTick> CAnalyzerDlg::ScaleTicks(const QFontMetrics& metrics) const
{
    return FrequencyScaleTicks(
        ScaleView{GetDisplayMode(), picture->height(), Zoom(), Offset(), FrequencyScaleLabelSpace(metrics)});
}

QRect CAnalyzerDlg::TempoBox(const QFontMetrics& metrics, const QString& text) const
{
    return QRect(picture->width() - metrics.horizontalAdvance(text) - 12, 4, metrics.horizontalAdvance(text) + 8,
                 metrics.height() + 2);
}

QRegion CAnalyzerDlg::WindowOverlayArea() const
{
    const QFontMetrics metrics(picture->font());
    QRegion area;
    if (frequencyScale)
        area |= FrequencyScaleArea(metrics, ScaleTicks(metrics));
    if (showTempo)
        area |= TempoBox(metrics, TempoReadout()).adjusted(-1, -1, 1, 1);
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

void CAnalyzerDlg::SetShowKeyboard(bool on)
{
    showKeyboard = on;
    engine.SetConstantQWanted(on);
    if (keyboardWindow)
        keyboardWindow->setVisible(on && !isMinimized());
    profile.WriteInt(ViewSection, "ShowKeyboard", on ? 1 : 0);
}

// The pitch-class levels of both constant-Q frames of the block.
void CAnalyzerDlg::FeedKeyboard()
{
    float first[12], second[12], levels[12];
    PitchClassLevels(engine.GetCQSpectrum(), ConstantQBins, first);
    PitchClassLevels(engine.GetCQSpectrum() + ConstantQBins, ConstantQBins, second);
    for (int i = 0; i < 12; ++i)
        levels[i] = first[i] + second[i];
    keyboardWindow->SetPitchLevels(levels);
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
}

void CAnalyzerDlg::OnDestroy()
{
    if (destroyed)
        return;
    destroyed = true;
    keeper.StopReopening();
    engine.Close();
    keyboardWindow.reset();
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
