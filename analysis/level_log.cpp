#include "analysis/level_log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <vector>

const char* const CLevelLog::Header =
    "time,momentary_lufs,shortterm_lufs,integrated_lufs,range_lu,sample_peak_left_dbfs,sample_peak_right_dbfs,"
    "true_peak_left_dbtp,true_peak_right_dbtp,dropped_frames\n";

namespace {

void AppendNumber(std::string& row, double value)
{
    char text[32];
    if (std::isinf(value))
        std::snprintf(text, sizeof text, ",%s", value < 0 ? "-inf" : "inf");
    else
        std::snprintf(text, sizeof text, ",%.1f", value);
    row += text;
}

ssize_t WriteToFile(int fd, const void* data, size_t size)
{
    return write(fd, data, size);
}

} // namespace

CLevelLog::CLevelLog(WriteFunction write) : writeFunction(write ? write : WriteToFile) {}

void CLevelLog::SetSoundLevels(Weighting levelWeighting, bool inSpl, double dbSplAtFullScale,
                               std::function<double(double)> gainDb)
{
    soundLevelsAsked = true;
    microphone = std::move(gainDb);
    weighting = levelWeighting;
    calibrated = inSpl;
    offset = dbSplAtFullScale;
}

std::string CLevelLog::HeaderLine() const
{
    std::string header = Header;
    if (!soundLevelsAsked)
        return header;
    const std::string x = weighting == Weighting::A ? "a" : weighting == Weighting::C ? "c" : "z";
    const std::string unit = calibrated ? "_db_spl" : "_dbfs";
    header.pop_back();
    for (const std::string& name : {"l" + x + "f", "l" + x + "s", "l" + x + "eq", "l" + x + "fmax", std::string("lcpeak")})
        header += "," + name + unit;
    return header + ",overload\n";
}

bool CLevelLog::ReadColumns()
{
    soundLevelColumns = soundLevelsAsked;
    char first[1024];
    const ssize_t n = pread(fd, first, sizeof first, 0);
    if (n <= 0)
        return n == 0;
    const std::string line(first, static_cast<size_t>(n));
    const std::string plain = Header;
    if (line.compare(0, plain.size(), plain) == 0) {
        soundLevelColumns = false;  // a log of the loudness alone goes on as it is
        return true;
    }
    const std::string wanted = HeaderLine();
    const bool other = line.compare(0, plain.size() - 1, plain, 0, plain.size() - 1) == 0 && line[plain.size() - 1] == ',';
    if (other && line.compare(0, wanted.size(), wanted) != 0) {
        reason = "its sound level columns are of another frequency weighting or unit than those logged now (" +
                 wanted.substr(plain.size(), wanted.find(',', plain.size()) - plain.size()) + "): choose another file";
        return false;
    }
    return true;
}

bool CLevelLog::Open(const std::string& newPath, std::string& openReason)
{
    Close();
    reason.clear();
    fd = open(newPath.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
        openReason = std::strerror(errno);
        return false;
    }
    path = newPath;
    started = false;
    rows = 0;
    soundLevelColumns = false;
    struct stat info;
    if (!CutOffFragment() || fstat(fd, &info) != 0 || !ReadColumns() ||
        (info.st_size == 0 && !WriteWhole(HeaderLine()))) {
        openReason = reason.empty() ? std::strerror(errno) : reason;
        close(fd);
        fd = -1;
        return false;
    }
    soundLevels.reset();
    if (soundLevelColumns) {
        soundLevels = std::make_unique<CSoundLevelMeter>(weighting);
        if (microphone)
            soundLevels->SetCorrection(microphone);
    }
    return true;
}

// The file ends after its last line break: a row (or the header) cut short
// is cut off. An unfinished tail that is neither, or longer than any, is
// not a level log's: the file is left as it is, and refused.
bool CLevelLog::CutOffFragment()
{
    constexpr off_t LongestFragment = 512;
    struct stat info;
    if (fstat(fd, &info) != 0)
        return false;
    const off_t start = std::max<off_t>(0, info.st_size - LongestFragment - 1);
    std::string tail(static_cast<size_t>(info.st_size - start), '\0');
    if (pread(fd, &tail[0], tail.size(), start) != static_cast<ssize_t>(tail.size()))
        return false;
    const size_t lastBreak = tail.rfind('\n');
    const size_t fragmentStart = lastBreak != std::string::npos ? lastBreak + 1 : 0;
    const off_t whole = start + static_cast<off_t>(fragmentStart);
    if (whole == info.st_size)
        return true;
    const std::string fragment = tail.substr(fragmentStart);
    const bool ours = (lastBreak != std::string::npos || start == 0) &&
                      (HeaderLine().compare(0, fragment.size(), fragment) == 0 ||
                       (fragment[0] >= '0' && fragment[0] <= '9'));
    if (!ours) {
        reason = "it does not end in a whole line and is not a level log";
        return false;
    }
    return ftruncate(fd, whole) == 0;
}

bool CLevelLog::Close()
{
    if (fd < 0)
        return true;
    const bool written = !started || WriteRow();
    started = false;
    close(fd);
    fd = -1;
    return written;
}

bool CLevelLog::Block(const MeterReadings& r, uint64_t droppedFrames, std::time_t now,
                      const SoundLevelReadings* levels)
{
    if (fd < 0)
        return false;
    bool written = true;
    if (!started || now != second) {
        if (started)
            written = WriteRow();
        droppedBefore = started ? droppedAtLast : droppedFrames;
        started = true;
        second = now;
        std::fill(std::begin(samplePeak), std::end(samplePeak), -std::numeric_limits<double>::infinity());
        std::fill(std::begin(truePeak), std::end(truePeak), -std::numeric_limits<double>::infinity());
        levelEnergy = 0.0;
        levelFastMax = levelCPeak = SoundLevelReadings::Silence;
        levelSamples = 0;
        levelOverload = false;
        lastLevels = SoundLevelReadings();
    }
    if (levels) {
        lastLevels = *levels;
        levelEnergy += levels->blockMeanSquare * levels->blockSamples;
        levelSamples += levels->blockSamples;
        levelFastMax = std::max(levelFastMax, levels->blockFastMax);
        levelCPeak = std::max(levelCPeak, levels->blockCPeak);
        levelOverload = levelOverload || levels->blockOverload;
    }
    last = r;
    droppedAtLast = droppedFrames;
    for (int ch = 0; ch < 2; ++ch) {
        samplePeak[ch] = std::max(samplePeak[ch], r.samplePeak[ch]);
        truePeak[ch] = std::max(truePeak[ch], r.truePeak[ch]);
    }
    return written;
}

void CLevelLog::Consume(const AnalysedBlock& block)
{
    if (!meter || !IsOpen() || !reason.empty())
        return;
    if (soundLevels)
        soundLevels->Process(block.interleaved, block.frames);
    Block(meter->Readings(), block.droppedFrames, std::time(nullptr), soundLevels ? &soundLevels->Readings() : nullptr);
}

void CLevelLog::AppendSoundLevels(std::string& row) const
{
    const double shift = calibrated ? offset : 0.0;
    const double eq = levelSamples > 0 ? SoundLevel(levelEnergy / static_cast<double>(levelSamples))
                                       : SoundLevelReadings::Silence;
    for (const double value : {lastLevels.fast, lastLevels.slow, eq, levelFastMax, levelCPeak})
        AppendNumber(row, value + shift);
    row += levelOverload ? ",1" : ",0";
}

// The row of the second gathered, stamped with the end of that second.
bool CLevelLog::WriteRow()
{
    const std::time_t ended = second + 1;
    std::tm utc{};
    gmtime_r(&ended, &utc);
    char time[32];
    std::strftime(time, sizeof time, "%Y-%m-%dT%H:%M:%SZ", &utc);
    std::string row = time;
    for (const double value : {last.momentary, last.shortTerm, last.integrated, last.range, samplePeak[0],
                               samplePeak[1], truePeak[0], truePeak[1]})
        AppendNumber(row, value);
    row += "," + std::to_string(droppedAtLast - droppedBefore);
    if (soundLevelColumns)
        AppendSoundLevels(row);
    row += "\n";
    const bool ok = WriteWhole(row);
    rows += ok;
    return ok;
}

// All of `text` or none of it: a write that falls short is cut back to
// where the file ended.
bool CLevelLog::WriteWhole(const std::string& text)
{
    struct stat info;
    if (fstat(fd, &info) != 0) {
        reason = std::strerror(errno);
        return false;
    }
    for (size_t done = 0; done < text.size();) {
        errno = 0;
        const ssize_t n = writeFunction(fd, text.data() + done, text.size() - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        reason = std::strerror(n < 0 && errno ? errno : EIO);
        // Where even the cut fails, the next Open cuts off the fragment.
        static_cast<void>(ftruncate(fd, info.st_size) == 0);
        return false;
    }
    return true;
}
