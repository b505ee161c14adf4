#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

// A file of this process's own, in a folder of its own that goes when the
// process ends, for the harnesses to write their input to. Memory-backed
// where it can be: every write of the INI store syncs.
class FuzzTempFolder {
public:
    FuzzTempFolder()
    {
        folder = access("/dev/shm", W_OK) == 0 ? "/dev/shm/tavi_fuzz.XXXXXX" : "/tmp/tavi_fuzz.XXXXXX";
        if (!mkdtemp(&folder[0]))
            abort();
    }
    ~FuzzTempFolder()
    {
        std::remove(file.c_str());
        rmdir(folder.c_str());
    }
    const std::string& File(const char* name)
    {
        if (file.empty())
            file = folder + "/" + name;
        return file;
    }

private:
    std::string folder;
    std::string file;
};

inline const std::string& FuzzTempFile(const char* name)
{
    static FuzzTempFolder folder;
    return folder.File(name);
}

inline void WriteFuzzFile(const std::string& path, const void* data, size_t size)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file || std::fwrite(data, 1, size, file) != size || std::fclose(file) != 0)
        abort();
}

// Stops the run with a message: libFuzzer keeps the input that did it.
[[noreturn]] inline void FuzzFailure(const std::string& what)
{
    std::fprintf(stderr, "fuzz invariant broken: %s\n", what.c_str());
    abort();
}
