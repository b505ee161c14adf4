#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

// Reads the samples of a 48 kHz 16-bit PCM WAV file (mono or stereo) a
// stretch at a time, as stereo frames: a mono file's samples go to both
// channels. What the header claims about the length of the sample data is
// only believed as far as the file reaches, and memory does not grow with
// the file's length.
class WaveFileReader {
public:
    // Opens `path` and reads its header; false with a sentence saying what is
    // wrong in `problem`, also for a file without sample data.
    bool Open(const std::string& path, std::string& problem);

    int Channels() const { return channels; }
    // Frames the file really holds from its sample data on.
    uint64_t FrameCount() const { return frameCount; }
    // Reads up to `maxFrames` of the frames not read yet into `stereo`
    // (left, right, ...); returns how many it read, 0 at the end.
    size_t ReadStereo(int16_t* stereo, size_t maxFrames);

private:
    struct FileClose {
        void operator()(FILE* f) const { std::fclose(f); }
    };

    bool FindSampleData(const std::string& path, std::string& problem);

    std::unique_ptr<FILE, FileClose> file;
    int channels = 0;
    uint64_t frameCount = 0;
    uint64_t framesLeft = 0;
};
