// What the generator's window does to the main window.
#include <QTimer>

#include "app/analyzer_dlg.h"
#include "app/input_listing.h"
#include "input/pulse_output.h"
#include "ui/generator_dlg.h"

namespace {

constexpr int WatchIntervalMs = 250;

} // namespace

void CAnalyzerDlg::OpenGenerator()
{
    if (!generatorWindow) {
        generatorWindow = std::make_unique<CGeneratorDlg>(profile, this);
        generatorWindow->SetHandlers(
            [this](const GeneratorSettings& s, const std::string& sink) { return StartGenerator(s, sink); },
            [this] {
                if (generatorOutput)
                    generatorOutput->Stop();
            },
            [this](const GeneratorSettings& s) {
                if (generatorOutput)
                    generatorOutput->Configure(s);
            });
        connect(generatorWindow.get(), &QDialog::finished, this, [this] {
            generatorWatch.stop();
            // The fade out first, then the stream goes.
            QTimer::singleShot(CPulseOutput::SilentAfterStopMs, this, [this] {
                if (generatorWindow && !generatorWindow->isVisible())
                    generatorOutput.reset();
            });
        });
        generatorWatch.setInterval(WatchIntervalMs);
        connect(&generatorWatch, &QTimer::timeout, this, [this] { WatchGenerator(); });
        transfer.SetGeneratorFrames([this](uint64_t skipped, int frames, float* out) {
            if (!generatorOutput)
                return false;
            generatorOutput->TakePlayed(frames, out, skipped);
            return true;
        });
    }
    ListSinks();
    generatorWindow->show();
    generatorWindow->raise();
    generatorWatch.start();
}

// A stream to the sink chosen, opened at the first start, again when the
// sink changed or the last one failed.
QString CAnalyzerDlg::StartGenerator(const GeneratorSettings& settings, const std::string& sink)
{
    if (generatorOutput && (generatorOutput->Sink() != sink || !generatorOutput->Now().failure.empty()))
        generatorOutput.reset();
    if (!generatorOutput) {
        std::string message;
        generatorOutput = CPulseOutput::Open(sink, settings, message);
        if (!generatorOutput)
            return QStringLiteral("The generator cannot play: %1.").arg(QString::fromStdString(message));
    }
    generatorOutput->Configure(settings);
    generatorOutput->Start();
    WatchGenerator();
    return QString();
}

void CAnalyzerDlg::WatchGenerator()
{
    if (!generatorWindow)
        return;
    if (!generatorOutput) {
        generatorWindow->ShowStatus(false, 0.0, 0, 0, QString());
        return;
    }
    const CPulseOutput::Status now = generatorOutput->Now();
    generatorWindow->ShowStatus(now.running, now.crestFactorDb, now.underruns, now.clippedSamples,
                                QString::fromStdString(now.failure));
}

// Listing asks the server and may wait for it: on a thread of its own
// (CInputListing), the window filled in when the answer comes.
void CAnalyzerDlg::ListSinks()
{
    if (!sinkListing) {
        sinkListing = std::make_unique<CInputListing>([] {
            std::vector<PulseSink> sinks;
            std::string problem;
            ListPulseSinks(sinks, problem);
            std::vector<InputDeviceDescription> listed;
            for (const PulseSink& s : sinks)
                listed.push_back({"PulseAudio", s.name, s.description, s.isDefault});
            return listed;
        });
        sinkListing->AddListedHandler([this] {
            std::vector<std::pair<std::string, std::string>> sinks;
            for (const InputDeviceDescription& d : sinkListing->Devices())
                sinks.emplace_back(d.name, d.description);
            if (generatorWindow)
                generatorWindow->SetSinks(sinks);
        });
    }
    sinkListing->Refresh();
}
