#include "store/module_path.h"

#include <unistd.h>

namespace {

constexpr size_t MaxModulePath = 512;

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r';
}

} // namespace

std::string ExecutablePath()
{
    char buffer[MaxModulePath];
    const ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (length <= 0)
        return std::string();
    return std::string(buffer, static_cast<size_t>(length));
}

std::string TrimBlanks(const std::string& text)
{
    size_t first = 0;
    while (first < text.size() && IsBlank(text[first]))
        ++first;
    std::string trimmed = text.substr(first);
    size_t end = trimmed.size();
    while (end > 1 && IsBlank(trimmed[end - 1]))
        --end;
    trimmed.resize(end);
    return trimmed;
}

int FindExtension(const std::string& path)
{
    for (size_t i = path.size(); i-- > 0;) {
        const char c = path[i];
        if (c == '\\' || c == '/')
            return -1;
        if (c == '.')
            return static_cast<int>(i + 1);
    }
    return -1;
}

std::string ReplaceExtension(const std::string& path, const char* extension)
{
    const int start = FindExtension(path);
    if (start < 0)
        return path + "." + extension;
    return path.substr(0, static_cast<size_t>(start)) + extension;
}
