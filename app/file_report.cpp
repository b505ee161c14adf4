#include "app/file_report.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <clocale>
#include <cstdio>
#include <filesystem>
#include <thread>
#include <vector>

#include "display/report_format.h"
#include "store/calibration_store.h"
#include "store/command_line.h"
#include "store/microphone_file.h"
#include "store/replacement_file.h"

namespace {

Weighting WeightingOf(char letter)
{
    return letter == 'C' ? Weighting::C : letter == 'Z' ? Weighting::Z : Weighting::A;
}

bool NamesAnInput(const ReportRequest& request)
{
    std::error_code error;
    for (const std::string& input : request.inputs)
        if (input == request.output || std::filesystem::equivalent(input, request.output, error))
            return true;
    return false;
}

// The input's calibration, and its microphone's correction in `options`;
// false, with the reason on stderr, when the microphone file is unusable.
bool ApplyCalibration(const ReportRequest& request, CProfile& profile, InputCalibration& calibration,
                      MeasureOptions& options)
{
    if (!request.inputNamed)
        return true;
    calibration = LoadCalibration(profile, request.inputName);
    const char* name = request.inputName.empty() ? "the default input" : request.inputName.c_str();
    if (!calibration.calibrated)
        std::fprintf(stderr, "tavimeter: %s has no calibration: levels in dBFS.\n", name);
    if (calibration.microphoneFile.empty())
        return true;
    MicrophoneResponse response;
    std::string error;
    if (!ReadMicrophoneFile(calibration.microphoneFile, response, error)) {
        std::fprintf(stderr, "tavimeter: the microphone file %s of %s cannot be used: %s\n",
                     calibration.microphoneFile.c_str(), name, error.c_str());
        return false;
    }
    options.microphone = [response](double f) { return response.CorrectionAt(f); };
    return true;
}

// Measures every input, one per core at a time, while the calling thread
// shows how far it has come.
std::vector<FileReport> MeasureAll(const ReportRequest& request, const MeasureOptions& options,
                                   const InputCalibration& calibration)
{
    std::vector<FileReport> reports(request.inputs.size());
    std::atomic<size_t> next{0}, done{0};
    const size_t count = reports.size();
    const size_t cores = std::max(1u, std::thread::hardware_concurrency());
    const size_t threads = std::min(cores, count);
    // Fewer files than cores: each file's meters side by side.
    MeasureOptions perFile = options;
    perFile.threads = static_cast<int>(cores / std::max<size_t>(1, threads));
    std::vector<std::thread> workers;
    for (size_t t = 0; t < threads; ++t)
        workers.emplace_back([&] {
            for (size_t i; (i = next++) < count; ++done) {
                reports[i].file = request.inputs[i];
                reports[i].measured = MeasureFile(request.inputs[i], perFile);
                reports[i].calibrated = calibration.calibrated;
                reports[i].offset = calibration.offset;
            }
        });
    const bool terminal = isatty(STDERR_FILENO) != 0;
    while (terminal && done < count) {
        std::fprintf(stderr, "\rtavimeter: %zu of %zu files measured", done.load(), count);
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    for (std::thread& worker : workers)
        worker.join();
    if (terminal)
        std::fprintf(stderr, "\rtavimeter: %zu of %zu files measured\n", count, count);
    return reports;
}

std::string ReportText(const ReportRequest& request, const std::vector<FileReport>& reports, bool calibrated)
{
    if (request.csv)
        return ReportCsv(reports,
                         {WeightingOf(request.weighting), calibrated, request.bandsPerOctave, request.interval > 0});
    std::string text;
    for (const FileReport& r : reports)
        text += ReportJson(r);
    return text;
}

bool Write(const ReportRequest& request, const std::string& text)
{
    std::string reason;
    if (!request.output.empty()) {
        if (ReplaceFileContents(request.output, text.data(), text.size(), reason))
            return true;
        std::fprintf(stderr, "tavimeter: the report could not be written to %s: %s\n", request.output.c_str(),
                     reason.c_str());
        return false;
    }
    if (std::fwrite(text.data(), 1, text.size(), stdout) == text.size() && std::fflush(stdout) == 0)
        return true;
    std::perror("tavimeter: the report could not be written");
    return false;
}

} // namespace

int ReportFiles(const ReportRequest& request, CProfile& profile)
{
    // Numbers always with '.' as the decimal point.
    std::setlocale(LC_NUMERIC, "C");
    if (!request.output.empty() && NamesAnInput(request)) {
        std::fprintf(stderr, "tavimeter: --out %s names one of the input files; nothing was measured.\n",
                     request.output.c_str());
        return 2;
    }
    MeasureOptions options(WeightingOf(request.weighting), request.bandsPerOctave, request.interval);
    InputCalibration calibration;
    if (!ApplyCalibration(request, profile, calibration, options))
        return 1;
    const std::vector<FileReport> reports = MeasureAll(request, options, calibration);
    const bool written = Write(request, ReportText(request, reports, calibration.calibrated));
    const bool allMeasured =
        std::all_of(reports.begin(), reports.end(), [](const FileReport& r) { return r.measured.error.empty(); });
    return written && allMeasured ? 0 : 1;
}
