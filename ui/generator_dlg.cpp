#include "ui/generator_dlg.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdlib>

#include "framework/window_placement.h"
#include "store/profile.h"

namespace {

constexpr const char* Section = "Generator";

bool AskAboutTheLevel(QWidget* parent, double level)
{
    return QMessageBox::question(parent, QStringLiteral("Generator"),
                                 QStringLiteral("Play at %1 dBFS? Levels this high can harm loudspeakers and hearing.")
                                     .arg(level, 0, 'f', 1)) == QMessageBox::Yes;
}

CGeneratorDlg::LoudConfirmer& Confirmer()
{
    static CGeneratorDlg::LoudConfirmer confirmer = AskAboutTheLevel;
    return confirmer;
}

// A loud level is asked about once each time the program runs.
bool loudConfirmed = false;

QDoubleSpinBox* SpinBox(QWidget* parent, double low, double high, int decimals, const QString& suffix)
{
    auto* box = new QDoubleSpinBox(parent);
    box->setRange(low, high);
    box->setDecimals(decimals);
    box->setSuffix(suffix);
    box->setKeyboardTracking(false);
    return box;
}

double StoredNumber(CProfile& profile, const char* key, double fallback, double low, double high)
{
    char text[64] = "";
    if (profile.ReadString(Section, key, text, sizeof text) == 0)
        return fallback;
    char* end = nullptr;
    const double value = std::strtod(text, &end);
    return end != text && *end == '\0' && value >= low && value <= high ? value : fallback;
}

} // namespace

void CGeneratorDlg::SetLoudConfirmer(LoudConfirmer confirmer)
{
    Confirmer() = confirmer ? std::move(confirmer) : AskAboutTheLevel;
    loudConfirmed = false;
}

CGeneratorDlg::CGeneratorDlg(CProfile& profile, QWidget* owner) : QDialog(owner), profile(profile)
{
    setWindowTitle(QStringLiteral("Generator"));
    signal = new QComboBox(this);
    signal->addItems({QStringLiteral("Pink noise"), QStringLiteral("White noise"), QStringLiteral("Sine"),
                      QStringLiteral("Logarithmic sweep")});
    level = SpinBox(this, -120.0, 0.0, 1, QStringLiteral(" dBFS"));
    frequency = SpinBox(this, 1.0, 24000.0, 1, QStringLiteral(" Hz"));
    sweepStart = SpinBox(this, 1.0, 24000.0, 1, QStringLiteral(" Hz"));
    sweepEnd = SpinBox(this, 1.0, 24000.0, 1, QStringLiteral(" Hz"));
    sweepSeconds = SpinBox(this, 0.2, 600.0, 1, QStringLiteral(" s"));
    channels = new QComboBox(this);
    channels->addItems({QStringLiteral("Left"), QStringLiteral("Right"), QStringLiteral("Both")});
    sink = new QComboBox(this);
    sink->addItem(QStringLiteral("Default sink"), QString());
    button = new QPushButton(QStringLiteral("Start"), this);
    status = new QLabel(this);
    status->setWordWrap(true);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Signal:"), signal);
    form->addRow(QStringLiteral("Level (RMS for noise):"), level);
    form->addRow(QStringLiteral("Frequency:"), frequency);
    form->addRow(QStringLiteral("Sweep from:"), sweepStart);
    form->addRow(QStringLiteral("Sweep to:"), sweepEnd);
    form->addRow(QStringLiteral("Sweep length:"), sweepSeconds);
    form->addRow(QStringLiteral("Channels:"), channels);
    form->addRow(QStringLiteral("Play to:"), sink);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(button);
    layout->addWidget(status);
    Load();
    for (QComboBox* list : {signal, channels, sink})
        connect(list, &QComboBox::currentIndexChanged, this, [this] { Changed(); });
    for (QDoubleSpinBox* box : {level, frequency, sweepStart, sweepEnd, sweepSeconds})
        connect(box, &QDoubleSpinBox::valueChanged, this, [this] { Changed(); });
    connect(button, &QPushButton::clicked, this, [this] { StartOrStop(); });
    ShowChoices();
    ShowStatus(false, 0.0, 0, 0, QString());
    QRect rectangle;
    if (RestoreStoredRectangle(profile, Section, rectangle))
        setGeometry(rectangle);
    else
        PlaceBesideOwner(this);
}

CGeneratorDlg::~CGeneratorDlg()
{
    StoreRectangle(profile, Section, geometry());
}

void CGeneratorDlg::Load()
{
    loading = true;
    const GeneratorSettings defaults;
    const int stored = profile.ReadInt(Section, "Signal");
    signal->setCurrentIndex(stored >= 0 && stored <= 3 ? stored : 0);
    // It opens at -20 dBFS, or the quieter level kept.
    level->setValue(std::min(defaults.levelDbfs, StoredNumber(profile, "Level", defaults.levelDbfs, -120.0, 0.0)));
    frequency->setValue(StoredNumber(profile, "Frequency", defaults.sineFrequency, 1.0, 24000.0));
    sweepStart->setValue(StoredNumber(profile, "SweepStart", defaults.sweepStart, 1.0, 24000.0));
    sweepEnd->setValue(StoredNumber(profile, "SweepEnd", defaults.sweepEnd, 1.0, 24000.0));
    sweepSeconds->setValue(StoredNumber(profile, "SweepSeconds", defaults.sweepSeconds, 0.2, 600.0));
    char text[128] = "";
    const bool channelsStored = profile.ReadString(Section, "Channels", text, sizeof text) > 0;
    const int storedChannels = profile.ReadInt(Section, "Channels");
    channels->setCurrentIndex(channelsStored && storedChannels >= 0 && storedChannels <= 2 ? storedChannels : 2);
    profile.ReadString(Section, "Sink", text, sizeof text);
    storedSink = text;
    loading = false;
}

void CGeneratorDlg::Store() const
{
    profile.WriteInt(Section, "Signal", signal->currentIndex());
    profile.WriteInt(Section, "Channels", channels->currentIndex());
    const std::pair<const char*, QDoubleSpinBox*> numbers[] = {
        {"Level", level}, {"Frequency", frequency}, {"SweepStart", sweepStart}, {"SweepEnd", sweepEnd},
        {"SweepSeconds", sweepSeconds}};
    for (const auto& [key, box] : numbers)
        profile.WriteString(Section, key, QString::number(box->value(), 'f', 1).toUtf8().constData());
    profile.WriteString(Section, "Sink", Sink().c_str());
}

void CGeneratorDlg::SetHandlers(std::function<QString(const GeneratorSettings&, const std::string&)> onStart,
                                std::function<void()> onStop, std::function<void(const GeneratorSettings&)> onChange)
{
    start = std::move(onStart);
    stop = std::move(onStop);
    changed = std::move(onChange);
}

void CGeneratorDlg::SetSinks(const std::vector<std::pair<std::string, std::string>>& sinks)
{
    const std::string chosen = sink->count() > 1 ? Sink() : storedSink;
    loading = true;
    while (sink->count() > 1)
        sink->removeItem(1);
    for (const auto& [name, description] : sinks) {
        sink->addItem(QString::fromStdString(description.empty() ? name : description), QString::fromStdString(name));
        if (name == chosen)
            sink->setCurrentIndex(sink->count() - 1);
    }
    loading = false;
}

GeneratorSettings CGeneratorDlg::Settings() const
{
    GeneratorSettings s;
    s.signal = static_cast<GeneratorSignal>(signal->currentIndex());
    s.levelDbfs = level->value();
    s.sineFrequency = frequency->value();
    s.sweepStart = sweepStart->value();
    s.sweepEnd = sweepEnd->value();
    s.sweepSeconds = sweepSeconds->value();
    s.channels = static_cast<GeneratorChannels>(channels->currentIndex());
    return s;
}

std::string CGeneratorDlg::Sink() const
{
    return sink->currentIndex() > 0 ? sink->currentData().toString().toStdString() : storedSink;
}

bool CGeneratorDlg::ConfirmLevel()
{
    if (level->value() <= LoudLevel || loudConfirmed)
        return true;
    loudConfirmed = Confirmer()(this, level->value());
    return loudConfirmed;
}

// A choice takes effect at once while it plays; a level too loud that is
// not confirmed stops the sound instead. A sink chosen anew plays from the
// next start.
void CGeneratorDlg::Changed()
{
    if (loading)
        return;
    if (sink->currentIndex() >= 0)
        storedSink = sink->currentIndex() > 0 ? sink->currentData().toString().toStdString() : std::string();
    ShowChoices();
    Store();
    if (!playing)
        return;
    if (!ConfirmLevel()) {
        StartOrStop();
        return;
    }
    if (changed)
        changed(Settings());
}

void CGeneratorDlg::StartOrStop()
{
    if (playing) {
        playing = false;
        if (stop)
            stop();
    } else if (ConfirmLevel()) {
        const QString problem = start ? start(Settings(), Sink()) : QStringLiteral("Nothing can play.");
        playing = problem.isEmpty();
        if (!playing)
            status->setText(problem);
    }
    button->setText(playing ? QStringLiteral("Stop") : QStringLiteral("Start"));
}

// Only what the signal chosen uses can be changed.
void CGeneratorDlg::ShowChoices()
{
    const auto chosen = static_cast<GeneratorSignal>(signal->currentIndex());
    frequency->setEnabled(chosen == GeneratorSignal::Sine);
    for (QDoubleSpinBox* box : {sweepStart, sweepEnd, sweepSeconds})
        box->setEnabled(chosen == GeneratorSignal::Sweep);
}

void CGeneratorDlg::ShowStatus(bool nowPlaying, double crestFactorDb, long underruns, long clipped,
                               const QString& failure)
{
    if (!failure.isEmpty()) {
        playing = false;
        button->setText(QStringLiteral("Start"));
        status->setText(failure);
        return;
    }
    QString text = nowPlaying ? QStringLiteral("Playing. Crest factor %1 dB; %2 underruns")
                                    .arg(crestFactorDb, 0, 'f', 1)
                                    .arg(underruns)
                              : QStringLiteral("Stopped. Underruns: %1").arg(underruns);
    if (clipped > 0)
        text += QStringLiteral("; %1 samples clipped at full scale: lower the level").arg(clipped);
    status->setText(text);
}

QString CGeneratorDlg::Status() const
{
    return status->text();
}

// Closing the window stops the sound.
void CGeneratorDlg::closeEvent(QCloseEvent* e)
{
    if (playing)
        StartOrStop();
    QDialog::closeEvent(e);
}
