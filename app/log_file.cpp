#include "app/log_file.h"

#include "app/module_path.h"
#include "app/settings_location.h"

std::string LogPathForExecutable(const std::string& executablePath)
{
    return ReplaceExtension(executablePath, "log");
}

CLogFile::CLogFile() : CLogFile(SettingsFilePath(LogPathForExecutable(ExecutablePath()))) {}

CLogFile::CLogFile(std::string logPath) : path(std::move(logPath))
{
    if (MakeParentFolder(path))
        file = std::fopen(path.c_str(), "a");
}

CLogFile::~CLogFile()
{
    if (file)
        std::fclose(file);
}
