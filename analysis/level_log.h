#pragma once

#include <sys/types.h>

#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <string>

#include "analysis/block_consumer.h"
#include "analysis/loudness_meter.h"
#include "analysis/sound_level_meter.h"

// The level log: a CSV file that gets one row for each second measured,
// appended with one write of its own as the next second begins, and the
// last, partly measured second's row when the log is closed. A row says
// when its second ended (ISO 8601, UTC), the meter's momentary, short-term
// and integrated loudness and loudness range as the second's last block
// left them, the largest sample and true peak of each channel within the
// second, and how many frames capture dropped in it. After a gap (capture
// lost for a while) the row of the last second measured still carries that
// second and its values alone.
//
// A row reaches the file whole or not at all: a write that falls short (a
// full disk) is cut back to the last whole row, and opening a log that does
// not end in a line break (a power cut during a write) cuts off the
// fragment first. A new or empty file starts with the header line. As a
// block consumer it logs the readings of the meter it is given, after the
// meter has taken the block, at the wall clock's time. GUI thread only.
//
// With SetSoundLevels the rows gain the sound levels of the left input
// (a sound level meter of the log's own, on the frequency weighting X and
// with the calibration given then): LXF and LXS as the second's last block
// left them, LXeq over the second, the largest LXF and LCpeak within it,
// and 1 when a sample reached full scale in it, else 0; their names carry
// the weighting and the unit ("laeq_db_spl", "lcpeak_dbfs"). A file that
// already has the header without them gets rows without them; one whose
// sound level columns are of another weighting or unit is refused, left as
// it is.
class CLevelLog : public BlockConsumer {
public:
    static const char* const Header;
    using WriteFunction = ssize_t (*)(int fd, const void* data, size_t size);

    explicit CLevelLog(WriteFunction write = nullptr);
    ~CLevelLog() override { Close(); }
    CLevelLog(const CLevelLog&) = delete;
    CLevelLog& operator=(const CLevelLog&) = delete;

    // Before Open: the rows gain the sound level columns, with a microphone's
    // correction when `gainDb` is not empty.
    void SetSoundLevels(Weighting weighting, bool calibrated, double offset,
                        std::function<double(double)> gainDb = nullptr);
    // The header line the next Open writes to a new file.
    std::string HeaderLine() const;
    // False, with the system's reason, when the file cannot be opened.
    bool Open(const std::string& path, std::string& reason);
    // Writes the row of the second being gathered and closes the file;
    // false when that row could not be written (see Reason).
    bool Close();
    bool IsOpen() const { return fd >= 0; }
    const std::string& Path() const { return path; }

    // After each block: its readings, the frames capture has dropped in all,
    // and the time. A block of another second than the last one's writes
    // the last one's row first. False when it could not be (see Reason).
    bool Block(const MeterReadings& readings, uint64_t droppedFrames, std::time_t now,
               const SoundLevelReadings* levels = nullptr);
    long Rows() const { return rows; }
    // The meter whose readings Consume logs (registered before the log).
    void SetMeter(const CLoudnessMeter* readingsOf) { meter = readingsOf; }
    void Consume(const AnalysedBlock& block) override;
    // A row could not be written since the log was opened (see Reason).
    bool Failed() const { return IsOpen() && !reason.empty(); }
    // Why the last write failed, in the system's words ("No space left on
    // device").
    const std::string& Reason() const { return reason; }

private:
    // Whether the rows of the open file have the sound level columns; false,
    // with the reason, for a file whose columns are not the ones logged now.
    bool ReadColumns();
    void AppendSoundLevels(std::string& row) const;
    bool CutOffFragment();
    bool WriteRow();
    bool WriteWhole(const std::string& text);

    WriteFunction writeFunction;
    const CLoudnessMeter* meter = nullptr;
    int fd = -1;
    std::string path;
    std::string reason;
    bool started = false;       // a second is being gathered
    std::time_t second = 0;     // the one being gathered
    MeterReadings last{};       // its last block's readings
    double samplePeak[2] = {};  // its largest, per channel
    double truePeak[2] = {};
    uint64_t droppedBefore = 0;  // at the last block before it
    uint64_t droppedAtLast = 0;  // at its last block
    long rows = 0;
    // The sound level columns: asked for, their weighting and calibration,
    // whether the open file has them, and the second's values.
    bool soundLevelsAsked = false;
    Weighting weighting = Weighting::A;
    bool calibrated = false;
    double offset = 0.0;
    std::function<double(double)> microphone;
    bool soundLevelColumns = false;
    std::unique_ptr<CSoundLevelMeter> soundLevels;
    SoundLevelReadings lastLevels;
    double levelEnergy = 0.0;
    double levelFastMax = SoundLevelReadings::Silence, levelCPeak = SoundLevelReadings::Silence;  // dB
    long levelSamples = 0;
    bool levelOverload = false;
};
