#include "store/settings_location.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace {

// The folder part of a path ("." when it has none) and the name after it.
std::string FolderOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

bool CanWriteFolder(const std::string& folder)
{
    return access(folder.c_str(), W_OK) == 0;
}

bool IsInstalledProgramFolder(const std::string& folder)
{
    const std::string bin = "/bin";
    if (folder.size() <= bin.size() || folder.compare(folder.size() - bin.size(), bin.size(), bin) != 0)
        return false;
    struct stat info;
    const std::string share = folder.substr(0, folder.size() - bin.size()) + "/share/tavimeter";
    return stat(share.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string SettingsFilePath(const std::string& besideExecutable, const FolderWritable& writable,
                             const char* xdgConfigHome, const char* home)
{
    if (besideExecutable.empty() || writable(FolderOf(besideExecutable)))
        return besideExecutable;
    std::string config;
    if (xdgConfigHome && *xdgConfigHome)
        config = xdgConfigHome;
    else
        config = std::string(home && *home ? home : ".") + "/.config";
    return config + "/tavimeter/" + NameOf(besideExecutable);
}

std::string SettingsFilePath(const std::string& besideExecutable)
{
    const auto programsOwn = [](const std::string& folder) {
        return CanWriteFolder(folder) && !IsInstalledProgramFolder(folder);
    };
    return SettingsFilePath(besideExecutable, programsOwn, std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME"));
}

bool MakeParentFolder(const std::string& path)
{
    const std::string folder = FolderOf(path);
    struct stat info;
    if (stat(folder.c_str(), &info) == 0)
        return S_ISDIR(info.st_mode);
    if (folder == path || !MakeParentFolder(folder))
        return false;
    return mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST;
}
