#include "store/profile.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "store/ini_line_reader.h"
#include "store/module_path.h"
#include "store/replacement_file.h"
#include "store/settings_location.h"

namespace {

constexpr int NumberBufferSize = 128;

struct FileClose {
    void operator()(FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<FILE, FileClose>;

// Copies `in` (which may be null) to `out` with `key` of `section` set to
// `text`, adding the key or the section where missing. The lines it writes
// end as the file's first line does (CR LF or LF), and a byte-order mark at
// the start is kept. False when `in` could not be read to its end or `out`
// could not be written.
class IniRewrite {
public:
    IniRewrite(const char* section, const char* key, const char* text, FILE* out)
        : section(section), keyLine(std::string(key) + "=" + text), out(out)
    {
    }

    bool Run(FILE* in)
    {
        bool ok = true;
        bool anyLine = false;
        if (in) {
            IniLineReader reader(in);
            std::string head;
            while (ok && reader.ReadHead(head)) {
                if (!anyLine && reader.HasByteOrderMark())
                    ok = std::fputs(IniByteOrderMark, out) != EOF;
                ok = ok && CopyLine(reader, head);
                if (!anyLine)
                    newline = reader.EndsWithCarriageReturn() ? "\r\n" : "\n";
                anyLine = true;
            }
            ok = ok && !reader.Failed();
        }
        if (ok && inSection && !done)
            ok = FinishSection();
        if (ok && !done) {
            if (anyLine)
                ok = WriteLine("");
            ok = ok && WriteLine("[" + std::string(section) + "]") && WriteLine(keyLine);
        }
        return ok;
    }

private:
    bool WriteLine(const std::string& text)
    {
        return std::fwrite(text.data(), 1, text.size(), out) == text.size() && std::fputs(newline, out) != EOF;
    }

    bool CopyLine(IniLineReader& reader, const std::string& head)
    {
        const IniLine line = ParseIniLine(head);
        if (done)
            return CopyVerbatim(reader, head);
        if (line.kind == IniLine::Section) {
            if (inSection && !FinishSection())
                return false;
            inSection = SameIniName(line.name, section);
            return CopyVerbatim(reader, head);
        }
        if (!inSection)
            return CopyVerbatim(reader, head);
        if (line.kind == IniLine::Entry && SameIniName(line.name, KeyName().c_str())) {
            reader.SkipRest();
            done = true;
            return FlushBlankLines() && WriteLine(keyLine);
        }
        if (!reader.HeadTruncated() && head.find_first_not_of(" \t\r") == std::string::npos) {
            ++pendingBlankLines;
            return true;
        }
        return FlushBlankLines() && CopyVerbatim(reader, head);
    }

    // The key goes after the section's last line, before blank lines that
    // separate it from the next section.
    bool FinishSection()
    {
        done = true;
        return WriteLine(keyLine) && FlushBlankLines();
    }

    bool FlushBlankLines()
    {
        for (; pendingBlankLines > 0; --pendingBlankLines) {
            if (!WriteLine(""))
                return false;
        }
        return true;
    }

    bool CopyVerbatim(IniLineReader& reader, const std::string& head)
    {
        if (std::fwrite(head.data(), 1, head.size(), out) != head.size())
            return false;
        if (!reader.CopyRest(out))
            return false;
        return std::fputs(reader.Terminated() ? "\n" : newline, out) != EOF;
    }

    std::string KeyName() const { return keyLine.substr(0, keyLine.find('=')); }

    const char* section;
    std::string keyLine;
    FILE* out;
    const char* newline = "\n";
    bool inSection = false;
    bool done = false;
    int pendingBlankLines = 0;
};

} // namespace

std::string IniPathForExecutable(const std::string& executablePath)
{
    return ReplaceExtension(TrimBlanks(executablePath), "ini");
}

CProfile::CProfile() : CProfile(SettingsFilePath(IniPathForExecutable(ExecutablePath())))
{
    if (path != IniPathForExecutable(ExecutablePath()))
        MakeFolderOnWrite();
}

CProfile::CProfile(std::string iniPath, RenameFunction rename, OpenFunction open)
    : path(std::move(iniPath)), renameFile(rename), openFile(open)
{
}

int CProfile::ReadString(const char* section, const char* key, char* buffer, int size)
{
    if (!buffer || size <= 0)
        return 0;
    buffer[0] = '\0';
    FilePtr file(openFile(path.c_str(), "rb"));
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
    // A line break in a name or value would start lines of its own in the
    // file: new sections and keys that nobody wrote.
    for (const char* part : {section, key, text}) {
        if (std::strpbrk(part, "\r\n"))
            return 0;
    }
    // Only a file that is not there may be started afresh: one that exists
    // but cannot be read whole is left as it is.
    FilePtr in(openFile(path.c_str(), "rb"));
    if (!in && errno != ENOENT)
        return 0;
    // The desktop's configuration folder is made on the first write.
    if (!in && makeFolder && !MakeParentFolder(path))
        return 0;
    CReplacementFile out(path, renameFile);
    if (!out.Open())
        return 0;
    IniRewrite rewrite(section, key, text, out.Stream());
    const bool copied = rewrite.Run(in.get());
    in.reset();
    return copied && out.Commit() ? 1 : 0;
}

bool CProfile::CreateIfMissing(const std::string& contents)
{
    struct stat info;
    if (lstat(path.c_str(), &info) == 0 || errno != ENOENT)
        return false;
    if (makeFolder && !MakeParentFolder(path))
        return false;
    CReplacementFile out(path, renameFile);
    return out.Open() && std::fwrite(contents.data(), 1, contents.size(), out.Stream()) == contents.size() &&
           out.CommitNew();
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
    // As atoi reads: blanks, a sign, then digits up to the first other
    // character; a number outside the int range reads as missing.
    errno = 0;
    const long long value = std::strtoll(text, nullptr, 10);
    if (errno == ERANGE || value < INT_MIN || value > INT_MAX)
        return 0;
    return static_cast<int>(value);
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
    // "nan" and "inf", which the store never writes, read as missing.
    const double value = std::atof(text);
    return std::isfinite(value) ? value : 0.0;
}
