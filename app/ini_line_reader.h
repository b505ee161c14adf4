#pragma once

#include <cstdio>
#include <string>

// Reads a file line by line, keeping at most `HeadLimit` bytes of each line
// in memory, so that files of any size or content are read in bounded space.
class IniLineReader {
public:
    static constexpr size_t HeadLimit = 4096;

    explicit IniLineReader(FILE* file) : file(file) {}

    // The next line's first bytes, without its newline; false at end of file.
    bool ReadHead(std::string& head);
    // Whether the line last read goes on beyond its head.
    bool HeadTruncated() const { return truncated; }
    // Passes over the rest of a truncated line.
    void SkipRest();
    // Copies the rest of a truncated line to `out` (without the newline).
    bool CopyRest(FILE* out);

private:
    FILE* file;
    bool truncated = false;
};

// The parts of an INI line that the store looks at.
struct IniLine {
    enum Kind { Other, Section, Entry } kind = Other;
    std::string name;   // section or key name, blanks trimmed
    std::string value;  // entry value, blanks trimmed
};

IniLine ParseIniLine(const std::string& line);

// Case-insensitive comparison of section and key names.
bool SameIniName(const std::string& a, const char* b);
