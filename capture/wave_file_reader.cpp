#include "capture/wave_file_reader.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

constexpr uint16_t FormatPcm = 1;
constexpr uint16_t FormatExtensible = 0xFFFE;
// A streamed file may give either as the length of its sample data.
constexpr uint32_t LengthUnknown = 0xFFFFFFFFu;

uint32_t Little32(const unsigned char* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

uint16_t Little16(const unsigned char* p)
{
    return uint16_t(p[0] | p[1] << 8);
}

struct FormatChunk {
    uint16_t tag = 0;
    uint16_t channels = 0;
    uint32_t rate = 0;
    uint16_t bits = 0;
    bool found = false;
};

bool ParseFormat(const unsigned char* chunk, size_t size, FormatChunk& format)
{
    if (size < 16)
        return false;
    format.tag = Little16(&chunk[0]);
    format.channels = Little16(&chunk[2]);
    format.rate = Little32(&chunk[4]);
    format.bits = Little16(&chunk[14]);
    // WAVE_FORMAT_EXTENSIBLE: the sub-format's first two bytes are the tag.
    if (format.tag == FormatExtensible && size >= 26)
        format.tag = Little16(&chunk[24]);
    format.found = true;
    return true;
}

std::string CheckFormat(const FormatChunk& format, const std::string& name)
{
    if (!format.found)
        return name + " has no format chunk.";
    if (format.tag != FormatPcm)
        return name + " is not PCM (format tag " + std::to_string(format.tag) + "); Tavimeter reads 16-bit PCM.";
    if (format.bits != 16)
        return name + " has " + std::to_string(format.bits) + "-bit samples; Tavimeter reads 16-bit PCM.";
    if (format.rate != 48000)
        return name + " is sampled at " + std::to_string(format.rate) + " Hz; Tavimeter needs 48000 Hz.";
    if (format.channels != 1 && format.channels != 2)
        return name + " has " + std::to_string(format.channels) + " channels; Tavimeter reads mono or stereo.";
    return std::string();
}

// The bytes from the current position to the end of the file.
uint64_t BytesToEnd(FILE* file)
{
    const off_t here = ftello(file);
    struct stat info;
    if (here < 0 || fstat(fileno(file), &info) != 0 || info.st_size < here)
        return 0;
    return static_cast<uint64_t>(info.st_size - here);
}

} // namespace

bool WaveFileReader::Open(const std::string& path, std::string& problem)
{
    struct stat info;
    if (stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
        problem = path + " is a folder, not a WAV file.";
        return false;
    }
    file.reset(std::fopen(path.c_str(), "rb"));
    if (!file) {
        problem = "The file " + path + " cannot be opened.";
        return false;
    }
    unsigned char header[12];
    if (std::fread(header, 1, sizeof header, file.get()) != sizeof header || std::memcmp(header, "RIFF", 4) != 0 ||
        std::memcmp(header + 8, "WAVE", 4) != 0) {
        problem = path + " is not a WAV file.";
        file.reset();
        return false;
    }
    if (!FindSampleData(path, problem)) {
        file.reset();
        return false;
    }
    return true;
}

// Walks the chunks up to the sample data and leaves the file there.
bool WaveFileReader::FindSampleData(const std::string& path, std::string& problem)
{
    FormatChunk format;
    unsigned char chunkHeader[8];
    while (std::fread(chunkHeader, 1, sizeof chunkHeader, file.get()) == sizeof chunkHeader) {
        const uint32_t size = Little32(chunkHeader + 4);
        const uint64_t padded = uint64_t(size) + (size & 1);
        if (std::memcmp(chunkHeader, "fmt ", 4) == 0) {
            unsigned char chunk[64];
            const size_t wanted = std::min<size_t>(size, sizeof chunk);
            if (std::fread(chunk, 1, wanted, file.get()) != wanted || !ParseFormat(chunk, wanted, format)) {
                problem = path + " has a damaged format chunk.";
                return false;
            }
            if (fseeko(file.get(), static_cast<off_t>(padded - wanted), SEEK_CUR) != 0)
                break;
        } else if (std::memcmp(chunkHeader, "data", 4) == 0) {
            problem = CheckFormat(format, path);
            if (!problem.empty())
                return false;
            channels = format.channels;
            const uint64_t available = BytesToEnd(file.get());
            const bool lengthKnown = size != 0 && size != LengthUnknown;
            const uint64_t bytes = lengthKnown ? std::min<uint64_t>(size, available) : available;
            frameCount = framesLeft = bytes / (2 * static_cast<uint64_t>(channels));
            if (frameCount == 0)
                break;
            return true;
        } else if (fseeko(file.get(), static_cast<off_t>(padded), SEEK_CUR) != 0) {
            break;
        }
    }
    problem = path + " has no sample data.";
    return false;
}

size_t WaveFileReader::ReadStereo(int16_t* stereo, size_t maxFrames)
{
    if (!file)
        return 0;
    constexpr size_t StretchFrames = 4096;
    unsigned char bytes[StretchFrames * 4];
    const size_t frameBytes = 2 * static_cast<size_t>(channels);
    size_t done = 0;
    while (done < maxFrames && framesLeft > 0) {
        const size_t wanted = static_cast<size_t>(std::min<uint64_t>({maxFrames - done, StretchFrames, framesLeft}));
        const size_t got = std::fread(bytes, frameBytes, wanted, file.get());
        for (size_t f = 0; f < got; ++f) {
            const unsigned char* p = bytes + f * frameBytes;
            const int16_t left = static_cast<int16_t>(Little16(p));
            stereo[2 * (done + f)] = left;
            stereo[2 * (done + f) + 1] = channels == 2 ? static_cast<int16_t>(Little16(p + 2)) : left;
        }
        done += got;
        framesLeft -= got;
        if (got < wanted) {
            framesLeft = 0;  // the file shrank or could not be read further
            break;
        }
    }
    return done;
}
