#include "app/analyzer_app.h"

#include <QApplication>
#include <QMessageBox>

#include <cerrno>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>

#include "app/analyzer_dlg.h"
#include "app/file_render.h"
#include "app/file_report.h"
#include "app/termination_signal.h"
#include "dsp/debug_message.h"
#include "dsp/subnormals.h"
#include "input/audio_file_reader.h"
#include "input/sound_input_driver.h"
#include "input/wave_file_input.h"
#include "resources/starter_settings.h"
#include "store/command_line.h"
#include "store/module_path.h"
#include "store/profile.h"

extern CProfile Profile;

namespace {

void ShowDebugMessage(const std::string& caption, const std::string& text)
{
    QMessageBox::information(nullptr, QString::fromStdString(caption), QString::fromStdString(text));
}

// The starter settings: the installed copy when there is one (a packager
// or an administrator may change it), else the one built in. `source` says
// which.
std::string StarterSettings(std::string& source)
{
    // PREFIX/bin/tavimeter: PREFIX is above the executable's folder.
    const std::string executable = ExecutablePath();
    const size_t name = executable.rfind('/');
    const size_t folder = name == std::string::npos || name == 0 ? std::string::npos : executable.rfind('/', name - 1);
    const std::string installed =
        folder == std::string::npos ? std::string() : executable.substr(0, folder + 1) + InstalledStarterSettings;
    std::ifstream file;
    if (!installed.empty())
        file.open(installed, std::ios::binary);
    if (file) {
        std::ostringstream contents;
        contents << file.rdbuf();
        source = installed;
        return contents.str();
    }
    source = "the copy built into the program";
    return StarterSettingsText;
}

// The level log of --log-levels can be opened; otherwise says why.
bool CanAppendTo(const std::string& path)
{
    FILE* log = std::fopen(path.c_str(), "a");
    if (!log) {
        std::fprintf(stderr, "tavimeter: the level log %s cannot be written: %s\n", path.c_str(), std::strerror(errno));
        return false;
    }
    std::fclose(log);
    return true;
}

int ListDevices()
{
    std::vector<std::string> problems;
    const std::vector<InputDeviceDescription> devices = ListInputDevices(problems);
    for (const InputDeviceDescription& d : devices)
        std::printf("%-10s %s%s\n           %s\n", d.api.c_str(), d.name.c_str(), d.isDefault ? "  (default)" : "",
                    d.description.c_str());
    for (const std::string& p : problems)
        std::printf("%s\n", p.c_str());
    if (devices.empty())
        std::printf("No capture devices found.\n");
    return 0;
}

// The input chosen from the menu in an earlier run; --device overrides it.
std::string StoredDevice()
{
    char name[128] = {};
    Profile.ReadString("Input", "Device", name, sizeof name);
    return name;
}

// The sound input the command line asks for, or null with a message.
std::unique_ptr<WaveInputDriver> ChooseDriver(const CommandLine& line, std::string& problem)
{
    if (line.inputFile.empty())
        return std::make_unique<SoundInputDriver>(line.deviceName.empty() ? StoredDevice() : line.deviceName);
    AudioFileReader reader;
    if (!reader.Open(line.inputFile, problem))
        return nullptr;
    if (!reader.Notice().empty())
        std::fprintf(stderr, "tavimeter: %s\n", reader.Notice().c_str());
    return std::make_unique<WaveFileDriver>(line.inputFile);
}

// The sound inputs the picture's menu offers, and the one in use.
CAnalyzerDlg::InputChoice SoundInputs(const CommandLine& line)
{
    CAnalyzerDlg::InputChoice inputs;
    inputs.list = [] {
        std::vector<std::string> problems;
        return ListInputDevices(problems);
    };
    inputs.open = [](const std::string& name) { return std::make_unique<SoundInputDriver>(name); };
    inputs.current = line.deviceName.empty() ? StoredDevice() : line.deviceName;
    inputs.currentFromStore = line.deviceName.empty() && !inputs.current.empty();
    return inputs;
}

// A termination signal closes the window as its close box does; message
// boxes over it close first.
void CloseOnSignal(CAnalyzerDlg& dialog)
{
    for (int i = 0; i < 16; ++i) {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || modal == &dialog)
            break;
        modal->close();
    }
    dialog.reject();
}

// What the run did, for tests and load measurements.
void PrintStatistics(const CAnalyzerDlg& dialog, const CommandLine& line)
{
    std::printf("blocks analysed %ld, painted %ld, since the last start %ld, frames dropped %llu\n",
                dialog.BlocksAnalysed(), dialog.BlocksPainted(), dialog.BlocksSinceStart(),
                static_cast<unsigned long long>(dialog.Engine().DroppedFrames()));
    std::printf("tempo readout: %s (estimate %.0f bpm, clarity %.2f, strength %.2f)\n",
                dialog.ShowTempo() ? dialog.TempoReadout().toUtf8().constData() : "off", dialog.Engine().TempoBpm(),
                dialog.Engine().TempoClarity(), dialog.Engine().TempoStrength());
    const std::string input = line.inputFile.empty() ? dialog.InputInUse() : line.inputFile;
    std::printf("input in use: %s\n", input.empty() ? "the default input" : input.c_str());
    if (const CLoudnessMeter* meter = dialog.Readings().Meter()) {
        const MeterReadings& r = meter->Readings();
        std::printf("meter: momentary %.1f, short-term %.1f, integrated %.1f LUFS, range %.1f LU\n", r.momentary,
                    r.shortTerm, r.integrated, r.range);
    }
    if (const CSoundLevelMeter* levels = dialog.Readings().SoundLevels()) {
        const InputCalibration& c = dialog.InputCalibrationInUse();
        const double shift = c.calibrated ? c.offset : 0.0;
        const SoundLevelReadings& r = levels->Readings();
        std::printf("sound levels: F %.1f, S %.1f, eq %.1f, eq over 1 s %.1f %s\n", r.fast + shift, r.slow + shift,
                    r.eq + shift, r.eqLastSecond + shift, c.calibrated ? "dB SPL" : "dBFS");
    }
    std::printf("display mode %d%s%s\n", dialog.GetDisplayMode(),
                dialog.GetDisplayMode() == CRenderer::Spectrum1D ? ": " : "",
                dialog.GetDisplayMode() == CRenderer::Spectrum1D ? dialog.Spectrum1DView().LastResult().c_str() : "");
    std::fflush(stdout);
}

} // namespace

int CAnalyzerApp::InitInstance(int argc, char** argv)
{
    FlushSubnormalsOnThisThread();
    const CommandLine line = ParseCommandLine(argc, argv);
    if (!line.error.empty()) {
        std::fprintf(stderr, "tavimeter: %s\n%s", line.error.c_str(), CommandLineUsage);
        return 2;
    }
    if (line.version) {
        std::printf("tavimeter %s\n", TAVIMETER_VERSION);
        return 0;
    }
    std::string starterSource;
    const std::string starter = StarterSettings(starterSource);
    if (line.help) {
        std::printf("%s\nSettings file: %s\nWhen it does not exist, the starter settings are copied there from %s;\n"
                    "deleting the settings file brings them back at the next start.\n",
                    CommandLineUsage, Profile.Path().c_str(), starterSource.c_str());
        return 0;
    }
    if (line.listDevices)
        return ListDevices();
    if (line.report)
        return ReportFiles(line.reportRequest, Profile);
    Profile.CreateIfMissing(starter);
    if (line.render)
        return RenderFiles(argv[0], line, Profile);
    if (!line.levelLog.empty() && !CanAppendTo(line.levelLog))
        return 1;
    std::string problem;
    const std::unique_ptr<WaveInputDriver> driver = ChooseDriver(line, problem);
    if (!driver) {
        std::fprintf(stderr, "tavimeter: %s\n", problem.c_str());
        return 1;
    }

    // A sound server that dies must not take the program with it.
    std::signal(SIGPIPE, SIG_IGN);
    QApplication application(argc, argv);
    // Qt takes the desktop's locale; the INI file's numbers and the C
    // library's conversions always use '.' as the decimal point.
    std::setlocale(LC_NUMERIC, "C");
    SetDebugMessageHandler(ShowDebugMessage);
    int status = 0;
    {
        CAnalyzerDlg dialog(Profile, driver.get());
        if (line.inputFile.empty())
            dialog.SetInputChoice(SoundInputs(line));
        else
            dialog.SetInputName(QString::fromStdString(line.inputFile).section('/', -1));
        dialog.OnInitDialog();
        dialog.SetDisplayMode(line.displayMode);
        if (!line.levelLog.empty())
            dialog.StartLevelLog(QString::fromLocal8Bit(line.levelLog.c_str()));
        const bool statistics = std::getenv("TAVIMETER_STATS") != nullptr;
        HandleTerminationSignals(
            [&dialog] { CloseOnSignal(dialog); },
            statistics ? std::function<void()>([&] { PrintStatistics(dialog, line); }) : std::function<void()>());
        dialog.exec();
        if (statistics)
            PrintStatistics(dialog, line);
        status = dialog.CaptureFailed() ? 1 : 0;
    }
    SetDebugMessageHandler(nullptr);
    return status;
}
