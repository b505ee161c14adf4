#pragma once

#include <cstdio>
#include <string>

// Reads a file line by line, keeping at most `HeadLimit` bytes of each line
// in memory, so that files of any size or content are read in bounded space.
class IniLineReader {
public:
    static constexpr size_t HeadLimit = 4096;

    explicit IniLineReader(FILE* file) : file(file) {}

    // The next line's first bytes, without its newline; false at end of file
    // or on a read error. A UTF-8 byte-order mark before the first line is
    // not part of it.
    bool ReadHead(std::string& head);
    // Whether the line last read goes on beyond its head.
    bool HeadTruncated() const { return truncated; }
    // Passes over the rest of a truncated line.
    void SkipRest();
    // Copies the rest of a truncated line to `out` (without the newline);
    // a null `out` passes over it.
    bool CopyRest(FILE* out);

    // Whether the file starts with a UTF-8 byte-order mark.
    bool HasByteOrderMark() const { return byteOrderMark; }
    // Whether the line last read, once read to its end, ends with CR LF.
    bool EndsWithCarriageReturn() const { return carriageReturn; }
    // Whether the line last read, once read to its end, ends with a newline
    // (the last line of a file may not).
    bool Terminated() const { return terminated; }
    // Whether reading stopped on an error rather than at the end.
    bool Failed() const { return std::ferror(file) != 0; }

private:
    FILE* file;
    bool truncated = false;
    bool firstLine = true;
    bool byteOrderMark = false;
    bool carriageReturn = false;
    bool terminated = false;
};

// The UTF-8 byte-order mark.
extern const char* const IniByteOrderMark;

// The parts of an INI line that the store looks at.
struct IniLine {
    enum Kind { Other, Section, Entry } kind = Other;
    std::string name;   // section or key name, blanks trimmed
    std::string value;  // entry value, blanks trimmed
};

IniLine ParseIniLine(const std::string& line);

// Case-insensitive comparison of section and key names.
bool SameIniName(const std::string& a, const char* b);
