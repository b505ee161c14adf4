#pragma once

#include <cstdio>
#include <string>

// The INI store beside the executable. Every read goes to the file and every
// write replaces the file at once, through a temporary file in the same
// folder renamed over the old one. Failures are silent: a read gives the
// empty default, a write leaves the old contents. A file that exists but
// cannot be read to its end is never replaced.
class CProfile {
public:
    using RenameFunction = int (*)(const char* from, const char* to);
    using OpenFunction = FILE* (*)(const char* path, const char* mode);

    // The INI file of the running executable.
    CProfile();
    explicit CProfile(std::string iniPath, RenameFunction rename = std::rename, OpenFunction open = std::fopen);
    virtual ~CProfile() = default;

    const std::string& Path() const { return path; }
    // The file's folder (and its parents) are made when the first write
    // finds them missing: for the desktop's configuration folder.
    void MakeFolderOnWrite() { makeFolder = true; }

    // Puts `contents` in place as the file when there is no file at all (an
    // empty one counts as a file); the folder is made as for a write. Never
    // replaces a file, also one made at the same time by another program.
    // True when the file was put there.
    bool CreateIfMissing(const std::string& contents);

    // Returns 1 when the file was replaced, 0 when nothing could be written;
    // a section, key or text holding a line break (CR or LF) is never
    // written.
    int WriteString(const char* section, const char* key, const char* text);
    // Copies at most size - 1 characters of the value (default "") into
    // buffer; returns the number copied.
    int ReadString(const char* section, const char* key, char* buffer, int size);

    void WriteInt(const char* section, const char* key, int value);
    // The value as atoi reads it ("12abc" is 12); missing, not a number, or
    // outside the int range: 0.
    int ReadInt(const char* section, const char* key);
    void WriteFloat(const char* section, const char* key, float value);
    // The value as atof reads it; missing, not a number, or not finite: 0.
    double ReadFloat(const char* section, const char* key);

private:
    std::string path;
    RenameFunction renameFile;
    OpenFunction openFile;
    bool makeFolder = false;
};

// The INI path for an executable path: blanks trimmed, extension "ini".
std::string IniPathForExecutable(const std::string& executablePath);
