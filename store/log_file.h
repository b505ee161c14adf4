#pragma once

#include <cstdio>
#include <string>

// The log beside the executable: opened for appending for the whole run and
// closed at exit. Nothing is written to it.
class CLogFile {
public:
    CLogFile();
    explicit CLogFile(std::string logPath);
    virtual ~CLogFile();

    CLogFile(const CLogFile&) = delete;
    CLogFile& operator=(const CLogFile&) = delete;

    bool IsOpen() const { return file != nullptr; }
    const std::string& Path() const { return path; }

private:
    FILE* file = nullptr;
    std::string path;
};

// The log path for an executable path: extension "log", no blanks trimmed.
std::string LogPathForExecutable(const std::string& executablePath);
