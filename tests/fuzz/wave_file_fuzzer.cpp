// The WAV reader on arbitrary file contents: it opens or says why not, and
// an opened file gives exactly the frames it announced, no more than the
// file can hold, in stretches of any length.
#include <cstring>
#include <vector>

#include "capture/wave_file_reader.h"
#include "tests/fuzz/fuzz_temp_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string& path = FuzzTempFile("input.wav");
    WriteFuzzFile(path, data, size);

    WaveFileReader reader;
    std::string problem;
    if (!reader.Open(path, problem)) {
        if (problem.empty())
            FuzzFailure("a refused file without a reason");
        return 0;
    }
    const uint64_t frameBytes = 2 * uint64_t(reader.Channels());
    if (reader.FrameCount() == 0 || reader.FrameCount() * frameBytes > size)
        FuzzFailure("announced " + std::to_string(reader.FrameCount()) + " frames in " + std::to_string(size) +
                    " bytes");
    std::vector<int16_t> frames(2 * 5000);
    uint64_t total = 0;
    size_t stretch = 1 + size % 4999;
    while (const size_t count = reader.ReadStereo(frames.data(), stretch)) {
        if (count > stretch)
            FuzzFailure("more frames than asked for");
        total += count;
        stretch = 1 + (stretch * 7) % 4999;
    }
    if (total != reader.FrameCount())
        FuzzFailure("read " + std::to_string(total) + " of " + std::to_string(reader.FrameCount()) + " frames");
    return 0;
}
