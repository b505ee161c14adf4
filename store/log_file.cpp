#include "store/log_file.h"

#include "store/module_path.h"
#include "store/settings_location.h"

std::string LogPathForExecutable(const std::string& executablePath)
{
    return ReplaceExtension(executablePath, "log");
}

CLogFile::CLogFile() : path(SettingsFilePath(LogPathForExecutable(ExecutablePath())))
{
    // In the desktop's configuration folder, which may not exist yet.
    if (path != LogPathForExecutable(ExecutablePath()))
        MakeParentFolder(path);
    file = std::fopen(path.c_str(), "a");
}

CLogFile::CLogFile(std::string logPath) : path(std::move(logPath))
{
    file = std::fopen(path.c_str(), "a");
}

CLogFile::~CLogFile()
{
    if (file)
        std::fclose(file);
}
