// The sound-file reader on arbitrary file contents: it opens or says why
// not, and gives whole stereo frames in stretches of any length, never more
// than asked for; a 48 kHz 16-bit file no more frames than it can hold.
#include <sndfile.h>

#include <cstring>
#include <vector>

#include "input/audio_file_reader.h"
#include "tests/fuzz/fuzz_temp_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string& path = FuzzTempFile("input.snd");
    WriteFuzzFile(path, data, size);

    AudioFileReader reader;
    // Headers libsndfile never finishes are common among the mutants of
    // such a header; a short limit keeps them from eating the run.
    reader.SetHeaderTimeLimit(100);
    std::string problem;
    if (!reader.Open(path, problem)) {
        if (problem.empty())
            FuzzFailure("a refused file without a reason");
        return 0;
    }
    if (reader.Channels() < 1 || reader.SampleRate() < AudioFileReader::LowestRate ||
        reader.SampleRate() > AudioFileReader::HighestRate)
        FuzzFailure("opened with " + std::to_string(reader.Channels()) + " channels at " +
                    std::to_string(reader.SampleRate()) + " Hz");
    std::vector<int16_t> frames(2 * 5000);
    uint64_t total = 0;
    size_t stretch = 1 + size % 4999;
    // Compressed formats may hold hours in a few bytes: a bounded read.
    while (total < 200000) {
        const size_t count = reader.ReadStereo(frames.data(), stretch);
        if (count > stretch)
            FuzzFailure("more frames than asked for");
        if (count == 0)
            break;
        total += count;
        stretch = 1 + (stretch * 7) % 4999;
    }
    SF_INFO info = {};
    if (SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info)) {
        const bool plain = info.samplerate == 48000 && (info.format & SF_FORMAT_SUBMASK) == SF_FORMAT_PCM_16 &&
                           (info.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_WAV;
        if (plain && total * 2 * uint64_t(info.channels) > size)
            FuzzFailure("read " + std::to_string(total) + " frames from " + std::to_string(size) + " bytes");
        sf_close(f);
    }
    return 0;
}
