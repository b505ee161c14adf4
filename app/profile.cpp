#include "app/profile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "app/ini_line_reader.h"
#include "app/module_path.h"

namespace {

constexpr int NumberBufferSize = 128;

struct FileClose {
    void operator()(FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<FILE, FileClose>;

bool WriteLine(FILE* out, const std::string& text)
{
    return std::fwrite(text.data(), 1, text.size(), out) == text.size() && std::putc('\n', out) != EOF;
}

// Mode for the replacement file: the old file's, or the usual default.
mode_t ReplacementMode(const std::string& path)
{
    struct stat info;
    if (stat(path.c_str(), &info) == 0)
        return info.st_mode & 07777;
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

// Copies `in` (which may be null) to `out` with `key` of `section` set to
// `text`, adding the key or the section where missing.
class IniRewrite {
public:
    IniRewrite(const char* section, const char* key, const char* text)
        : section(section), keyLine(std::string(key) + "=" + text)
    {
    }

    bool Run(FILE* in, FILE* out)
    {
        bool ok = true;
        bool anyLine = false;
        if (in) {
            IniLineReader reader(in);
            std::string head;
            while (ok && reader.ReadHead(head)) {
                anyLine = true;
                ok = CopyLine(reader, head, out);
            }
        }
        if (ok && inSection && !done)
            ok = FinishSection(out);
        if (ok && !done) {
            if (anyLine)
                ok = WriteLine(out, "");
            ok = ok && WriteLine(out, "[" + std::string(section) + "]") && WriteLine(out, keyLine);
        }
        return ok;
    }

private:
    bool CopyLine(IniLineReader& reader, const std::string& head, FILE* out)
    {
        const IniLine line = ParseIniLine(head);
        if (done)
            return CopyVerbatim(reader, head, out);
        if (line.kind == IniLine::Section) {
            if (inSection && !FinishSection(out))
                return false;
            inSection = SameIniName(line.name, section);
            return CopyVerbatim(reader, head, out);
        }
        if (!inSection)
            return CopyVerbatim(reader, head, out);
        if (line.kind == IniLine::Entry && SameIniName(line.name, KeyName().c_str())) {
            reader.SkipRest();
            done = true;
            return FlushBlankLines(out) && WriteLine(out, keyLine);
        }
        if (!reader.HeadTruncated() && head.find_first_not_of(" \t\r") == std::string::npos) {
            ++pendingBlankLines;
            return true;
        }
        return FlushBlankLines(out) && CopyVerbatim(reader, head, out);
    }

    // The key goes after the section's last line, before blank lines that
    // separate it from the next section.
    bool FinishSection(FILE* out)
    {
        done = true;
        return WriteLine(out, keyLine) && FlushBlankLines(out);
    }

    bool FlushBlankLines(FILE* out)
    {
        for (; pendingBlankLines > 0; --pendingBlankLines) {
            if (!WriteLine(out, ""))
                return false;
        }
        return true;
    }

    static bool CopyVerbatim(IniLineReader& reader, const std::string& head, FILE* out)
    {
        if (std::fwrite(head.data(), 1, head.size(), out) != head.size())
            return false;
        return reader.CopyRest(out) && std::putc('\n', out) != EOF;
    }

    std::string KeyName() const { return keyLine.substr(0, keyLine.find('=')); }

    const char* section;
    std::string keyLine;
    bool inSection = false;
    bool done = false;
    int pendingBlankLines = 0;
};

} // namespace

std::string IniPathForExecutable(const std::string& executablePath)
{
    return ReplaceExtension(TrimBlanks(executablePath), "ini");
}

CProfile::CProfile() : CProfile(IniPathForExecutable(ExecutablePath())) {}

CProfile::CProfile(std::string iniPath, RenameFunction rename)
    : path(std::move(iniPath)), renameFile(rename)
{
}

int CProfile::ReadString(const char* section, const char* key, char* buffer, int size)
{
    if (!buffer || size <= 0)
        return 0;
    buffer[0] = '\0';
    FilePtr file(std::fopen(path.c_str(), "rb"));
    if (!file)
        return 0;

    IniLineReader reader(file.get());
    std::string head;
    bool inSection = false;
    while (reader.ReadHead(head)) {
        reader.SkipRest();
        const IniLine line = ParseIniLine(head);
        if (line.kind == IniLine::Section)
            inSection = SameIniName(line.name, section);
        else if (inSection && line.kind == IniLine::Entry && SameIniName(line.name, key)) {
            const size_t count = std::min(line.value.size(), static_cast<size_t>(size - 1));
            std::memcpy(buffer, line.value.data(), count);
            buffer[count] = '\0';
            return static_cast<int>(std::strlen(buffer));
        }
    }
    return 0;
}

int CProfile::WriteString(const char* section, const char* key, const char* text)
{
    std::string temporary = path + ".XXXXXX";
    const int fd = mkstemp(&temporary[0]);
    if (fd < 0)
        return 0;
    fchmod(fd, ReplacementMode(path));
    FilePtr out(fdopen(fd, "wb"));
    if (!out) {
        close(fd);
        unlink(temporary.c_str());
        return 0;
    }
    FilePtr in(std::fopen(path.c_str(), "rb"));
    IniRewrite rewrite(section, key, text);
    bool ok = rewrite.Run(in.get(), out.get());
    in.reset();
    ok = ok && std::fflush(out.get()) == 0 && fsync(fileno(out.get())) == 0;
    ok = std::fclose(out.release()) == 0 && ok;
    if (!ok || renameFile(temporary.c_str(), path.c_str()) != 0) {
        unlink(temporary.c_str());
        return 0;
    }
    return 1;
}

void CProfile::WriteInt(const char* section, const char* key, int value)
{
    char text[NumberBufferSize];
    std::snprintf(text, sizeof text, "%d", value);
    WriteString(section, key, text);
}

int CProfile::ReadInt(const char* section, const char* key)
{
    char text[NumberBufferSize];
    ReadString(section, key, text, sizeof text);
    return std::atoi(text);
}

void CProfile::WriteFloat(const char* section, const char* key, float value)
{
    char text[NumberBufferSize];
    std::snprintf(text, sizeof text, "%.2f", static_cast<double>(value));
    WriteString(section, key, text);
}

double CProfile::ReadFloat(const char* section, const char* key)
{
    char text[NumberBufferSize];
    ReadString(section, key, text, sizeof text);
    return std::atof(text);
}
