#pragma once

#include <functional>
#include <string>

// Whether files can be created in a folder.
using FolderWritable = std::function<bool(const std::string& folder)>;
bool CanWriteFolder(const std::string& folder);
// Whether `folder` is PREFIX/bin of an installation, with PREFIX/share/
// tavimeter beside it: an installed program keeps its files in the user's
// folder even where it could write to PREFIX/bin (run as root).
bool IsInstalledProgramFolder(const std::string& folder);

// Where a file that belongs beside the executable (its INI or log file)
// lives: at `besideExecutable` when that folder can be written (portable
// use), otherwise under the same name in $XDG_CONFIG_HOME/tavimeter/, or
// ~/.config/tavimeter/ when XDG_CONFIG_HOME is unset or empty.
std::string SettingsFilePath(const std::string& besideExecutable, const FolderWritable& writable,
                             const char* xdgConfigHome, const char* home);
// The same with the process's environment and the real folder, which is
// the program's own when it can be written and is not an installation's.
std::string SettingsFilePath(const std::string& besideExecutable);

// Creates the folder of `path` and its parents as needed (mode 0700 for new
// ones); false when it cannot.
bool MakeParentFolder(const std::string& path);
