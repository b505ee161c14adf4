#include "app/log_file.h"

#include "app/module_path.h"

std::string LogPathForExecutable(const std::string& executablePath)
{
    return ReplaceExtension(executablePath, "log");
}

CLogFile::CLogFile() : CLogFile(LogPathForExecutable(ExecutablePath())) {}

CLogFile::CLogFile(std::string logPath) : path(std::move(logPath))
{
    file = std::fopen(path.c_str(), "a");
}

CLogFile::~CLogFile()
{
    if (file)
        std::fclose(file);
}
