#pragma once

#include <string>

// The running executable's full path (at most 511 characters), or "" when
// it cannot be read.
std::string ExecutablePath();

// Removes leading and trailing spaces, tabs and carriage returns; the first
// character is never removed by the trailing pass.
std::string TrimBlanks(const std::string& text);

// Index of the first character of the extension, or -1 when the last path
// component has no dot.
int FindExtension(const std::string& path);

// `path` with its extension replaced by `extension`, or ".extension"
// appended when it has none.
std::string ReplaceExtension(const std::string& path, const char* extension);
