#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct sf_private_tag;
struct soxr;

// Reads a sound file of any format libsndfile knows (WAV of any sample
// type, FLAC, Ogg Vorbis, Opus, AIFF, ...) a stretch at a time, as the
// engine's frames: stereo, 16-bit, 48 kHz. A mono file's samples go to both
// channels; of more channels the first two are used. Files at other rates
// are converted by libsoxr; a 48 kHz 16-bit file's samples come out exactly
// as stored. Memory does not grow with the file's length, and what a header
// claims about the length is only believed as far as the file reaches.
class AudioFileReader {
public:
    static constexpr int EngineRate = 48000;
    // Rates outside this range are refused.
    static constexpr int LowestRate = 1000;
    static constexpr int HighestRate = 768000;
    // A header that libsndfile has not parsed in this time is taken as
    // damaged; a sound header takes milliseconds.
    static constexpr int HeaderTimeLimitMs = 5000;

    AudioFileReader();
    ~AudioFileReader();
    AudioFileReader(const AudioFileReader&) = delete;
    AudioFileReader& operator=(const AudioFileReader&) = delete;

    // Opens `path`; false with a sentence saying what is wrong in `problem`,
    // also for a file without samples or with a header libsndfile does not
    // get through.
    bool Open(const std::string& path, std::string& problem);
    // How long Open waits for the header to be parsed (HeaderTimeLimitMs
    // unless set), for callers that open many doubtful files.
    void SetHeaderTimeLimit(int ms) { headerTimeLimitMs = ms; }
    // Moves to frame `frame` of the 48 kHz stream (the file's frame
    // frame * rate / 48000, rounded down); false when the file cannot seek
    // there. Call before the first read.
    bool SkipTo(uint64_t frame);

    int Channels() const { return channels; }
    int SampleRate() const { return rate; }
    // The file's length at 48 kHz as its header gives it; 0 when unknown.
    uint64_t FrameCount() const { return frameCount; }
    // A sentence for the user about how the file is read ("" when plain):
    // the channels left out.
    const std::string& Notice() const { return notice; }
    // Reads up to `maxFrames` of the frames not read yet into `stereo`
    // (left, right, ...); returns how many it read, 0 at the end.
    size_t ReadStereo(int16_t* stereo, size_t maxFrames);

private:
    struct FileClose {
        void operator()(sf_private_tag* f) const;
    };
    struct ResamplerDelete {
        void operator()(soxr* r) const;
    };

    bool HeaderParses(const std::string& path, std::string& problem) const;
    bool ReadsExactly() const;
    // Up to `maxFrames` source frames as stereo floats into `sourceStereo`.
    size_t ReadSourceStereo(size_t maxFrames);
    size_t ReadResampled(int16_t* stereo, size_t maxFrames);

    std::unique_ptr<sf_private_tag, FileClose> file;
    std::unique_ptr<soxr, ResamplerDelete> resampler;
    int headerTimeLimitMs = HeaderTimeLimitMs;
    int channels = 0;
    int rate = 0;
    int format = 0;
    uint64_t frameCount = 0;
    std::string notice;
    bool sourceEnded = false;
    bool flushed = false;
    size_t pendingFrames = 0;  // read from the file, not yet taken by the converter
    size_t pendingStart = 0;
    std::vector<short> shorts;
    std::vector<float> interleaved;
    std::vector<float> sourceStereo;
    std::vector<float> converted;
};
