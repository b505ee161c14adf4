#include "app/picture_menu.h"

#include <QActionGroup>

#include "app/analyzer_dlg.h"
#include "app/input_listing.h"
#include "app/measure_menu.h"
#include "app/transfer_menu.h"
#include "settings/shared_settings.h"

namespace {

// The panel's captions, in the order of the display modes.
const char* const ModeCaptions[] = {"2-D Spectrogram", "Constant-Q Spectrogram", "1-D Spectum", "LPC",
                                    "Speech",          "1-D Spectum 2",          "Octave bands",
                                    "Transfer function"};

// The design's views the panel does not offer are listed as experimental.
bool Experimental(int mode)
{
    return mode > CRenderer::Spectrum1D && mode <= CRenderer::SpectrumEnvelope;
}

} // namespace

CPictureMenu::CPictureMenu(CAnalyzerDlg& window) : QMenu(&window), window(window)
{
    inputMenu = addMenu(QStringLiteral("Input"));
    AddModes();
    measureMenu = new CMeasureMenu(
        window.Profile(), this,
        [this] {
            this->window.Readings().Measurement().FollowSettings();
            this->window.RepaintPicture();
        },
                                   [this] {
                                       this->window.Readings().Measurement().Reset();
                                       this->window.Transfer().Reset();
                                   });
    addMenu(measureMenu);
    transferMenu = new CTransferMenu(window, this);
    addMenu(transferMenu);
    pause = addAction(QStringLiteral("Pause"));
    pause->setCheckable(true);
    connect(pause, &QAction::triggered, this, [this](bool on) { this->window.SetPause(on); });
    addSeparator();
    savePicture = addAction(QStringLiteral("Save picture\u2026"));
    savePicture->setShortcut(QKeySequence(QStringLiteral("Ctrl+S")));
    connect(savePicture, &QAction::triggered, this, [this] { this->window.ChooseAndSavePicture(); });
    exportSpectrum = addAction(QStringLiteral("Export spectrum\u2026"));
    exportSpectrum->setShortcut(QKeySequence(QStringLiteral("Ctrl+E")));
    connect(exportSpectrum, &QAction::triggered, this, [this] { this->window.ChooseAndExportSpectrum(); });
    addSeparator();
    frequencyScale = addAction(QStringLiteral("Frequency scale"));
    frequencyScale->setCheckable(true);
    connect(frequencyScale, &QAction::triggered, this, [this](bool on) { this->window.SetFrequencyScale(on); });
    showTempo = addAction(QStringLiteral("Show tempo"));
    showTempo->setCheckable(true);
    connect(showTempo, &QAction::triggered, this, [this](bool on) { this->window.SetShowTempo(on); });
    showKeyboard = addAction(QStringLiteral("Show keyboard"));
    showKeyboard->setCheckable(true);
    connect(showKeyboard, &QAction::triggered, this, [this](bool on) { this->window.SetShowKeyboard(on); });
    showMeter = addAction(QStringLiteral("Show meter"));
    showMeter->setCheckable(true);
    connect(showMeter, &QAction::triggered, this, [this](bool on) { this->window.SetShowMeter(on); });
    logLevels = addAction(QStringLiteral("Log levels\u2026"));
    logLevels->setCheckable(true);
    connect(logLevels, &QAction::triggered, this, [this] { this->window.ChooseAndLogLevels(); });
    calibrate = addAction(QStringLiteral("Calibrate\u2026"));
    connect(calibrate, &QAction::triggered, this, [this] { this->window.OpenCalibration(); });
    generator = addAction(QStringLiteral("Generator\u2026"));
    connect(generator, &QAction::triggered, this, [this] { this->window.OpenGenerator(); });
    // The shortcuts work with the menu closed.
    window.addAction(savePicture);
    window.addAction(exportSpectrum);
    connect(this, &QMenu::aboutToShow, this, [this] { Refresh(); });
    // A listing that comes in while the menu is open shows at once.
    if (CInputListing* listing = window.InputListing())
        listing->AddListedHandler([this] { FillInputs(); });
}

void CPictureMenu::AddModes()
{
    modeMenu = addMenu(QStringLiteral("Display mode"));
    modes = new QActionGroup(this);
    for (int mode = 0; mode <= CRenderer::LastMode; ++mode) {
        if (mode == CRenderer::OctaveBands)
            modeMenu->addSeparator();  // ours
        QString caption = QString::fromUtf8(ModeCaptions[mode]);
        if (Experimental(mode))
            caption += QStringLiteral(" (experimental)");
        QAction* action = modeMenu->addAction(caption);
        action->setCheckable(true);
        action->setData(mode);
        modes->addAction(action);
        connect(action, &QAction::triggered, this, [this, mode] { this->window.SetDisplayMode(mode); });
    }
}

// The default input, then the capture devices as --list-devices lists
// them, the one in use checked: the last list; a new one is asked for each
// time the menu opens.
void CPictureMenu::FillInputs()
{
    inputMenu->clear();
    const CAnalyzerDlg::InputChoice& choice = window.Inputs();
    const CInputListing* listing = window.InputListing();
    inputMenu->setEnabled(listing != nullptr);
    if (!listing)
        return;
    auto* group = new QActionGroup(inputMenu);
    auto add = [&](const QString& caption, const std::string& device, bool checked) {
        QAction* action = inputMenu->addAction(caption);
        action->setCheckable(true);
        action->setChecked(checked);
        group->addAction(action);
        connect(action, &QAction::triggered, this, [this, device] { this->window.SwitchInput(device); });
        return action;
    };
    add(QStringLiteral("Default input (follows the desktop)"), std::string(), choice.current.empty());
    inputMenu->addSeparator();
    if (!listing->Listed()) {
        inputMenu->addAction(QStringLiteral("Looking for capture devices\u2026"))->setEnabled(false);
        return;
    }
    for (const InputDeviceDescription& d : listing->Devices()) {
        const QString caption = QStringLiteral("%1: %2%3").arg(QString::fromStdString(d.api),
                                                               QString::fromStdString(d.name),
                                                               d.isDefault ? " (default)" : "");
        add(caption, d.name, !choice.current.empty() && choice.current == d.name)
            ->setToolTip(QString::fromStdString(d.description));
    }
    if (listing->Devices().empty())
        inputMenu->addAction(QStringLiteral("No capture devices found"))->setEnabled(false);
}

void CPictureMenu::Refresh()
{
    FillInputs();
    if (CInputListing* listing = window.InputListing())
        listing->Refresh();
    for (QAction* action : modes->actions())
        action->setChecked(action->data().toInt() == window.GetDisplayMode());
    pause->setChecked(SharedSettings.Pause);
    frequencyScale->setChecked(window.FrequencyScale());
    showTempo->setChecked(window.ShowTempo());
    showKeyboard->setChecked(window.ShowKeyboard());
    showMeter->setChecked(window.ShowMeter());
    logLevels->setChecked(window.LevelLog().IsOpen());
}
