#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "analysis/band_energy.h"
#include "analysis/file_measurement.h"
#include "analysis/loudness_meter.h"
#include "analysis/sound_level_meter.h"

// One meter of a file's measurement: fed the file's stretches in order
// (stereo, 16 bits, 48 kHz), told where each interval ends, and at the end
// writing its own numbers, and its fields of each interval, into the
// measurement. The parts share nothing, so each may run on its own thread.
class CFileMeterPart {
public:
    virtual ~CFileMeterPart() = default;
    virtual void Add(const int16_t* stereo, size_t frames) = 0;
    // The interval that ends after the frames added so far.
    virtual void EndInterval() = 0;
    // `m.intervals` holds every interval already, in order.
    virtual void Finish(FileMeasurement& m) = 0;
};

// Loudness (ITU-R BS.1770-4, EBU R 128), true and sample peaks and RMS per
// channel.
class CLoudnessPart : public CFileMeterPart {
public:
    CLoudnessPart() { loudness.SetIntegratedEveryBlock(false); }
    void Add(const int16_t* stereo, size_t frames) override;
    void EndInterval() override;
    void Finish(FileMeasurement& m) override;

private:
    struct Interval {
        double momentary, shortTerm;
        std::array<double, 2> truePeak, samplePeak;
    };
    CLoudnessMeter loudness;
    uint64_t frames = 0;
    int peak[2] = {0, 0}, intervalPeak[2] = {0, 0};
    double squares[2] = {0.0, 0.0};
    std::array<double, 2> truePeak{FileMeasurement::Silence, FileMeasurement::Silence};
    std::array<double, 2> intervalTruePeak{FileMeasurement::Silence, FileMeasurement::Silence};
    std::vector<Interval> intervals;
};

// The sound level meter on the left channel.
class CLevelPart : public CFileMeterPart {
public:
    explicit CLevelPart(const MeasureOptions& options);
    void Add(const int16_t* stereo, size_t frames) override;
    void EndInterval() override;
    void Finish(FileMeasurement& m) override;

private:
    CSoundLevelMeter levels;
    double intervalEnergy = 0.0;
    uint64_t intervalFrames = 0;
    std::vector<double> intervalEq;
};

// The left channel's fractional-octave bands.
class CBandPart : public CFileMeterPart {
public:
    explicit CBandPart(const MeasureOptions& options);
    void Add(const int16_t* stereo, size_t frames) override;
    void EndInterval() override;
    void Finish(FileMeasurement& m) override;

private:
    void AddToFileBands(const std::vector<double>& meanSquares, double count);

    CBandEnergy bands;
    std::vector<double> left, fileEnergy;
    uint64_t frames = 0, intervalFrames = 0;
    std::vector<std::vector<double>> intervalEq;
};

// The parts the options ask for.
std::vector<std::unique_ptr<CFileMeterPart>> FileMeterParts(const MeasureOptions& options);
