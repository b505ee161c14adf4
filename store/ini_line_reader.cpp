#include "store/ini_line_reader.h"

#include <cctype>

namespace {

std::string TrimmedIniText(const std::string& text, size_t begin, size_t end)
{
    while (begin < end && std::isspace(static_cast<unsigned char>(text[begin])))
        ++begin;
    while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1])))
        --end;
    return text.substr(begin, end - begin);
}

} // namespace

const char* const IniByteOrderMark = "\xEF\xBB\xBF";

bool IniLineReader::ReadHead(std::string& head)
{
    head.clear();
    truncated = false;
    carriageReturn = false;
    int c = std::getc(file);
    if (c == EOF)
        return false;
    while (c != EOF && c != '\n') {
        if (head.size() == HeadLimit) {
            std::ungetc(c, file);
            truncated = true;
            break;
        }
        head.push_back(static_cast<char>(c));
        c = std::getc(file);
    }
    if (firstLine && head.compare(0, 3, IniByteOrderMark) == 0) {
        head.erase(0, 3);
        byteOrderMark = true;
    }
    firstLine = false;
    carriageReturn = !truncated && !head.empty() && head.back() == '\r';
    terminated = c == '\n';
    return true;
}

void IniLineReader::SkipRest()
{
    CopyRest(nullptr);
}

bool IniLineReader::CopyRest(FILE* out)
{
    if (!truncated)
        return true;
    int c;
    int last = EOF;
    while ((c = std::getc(file)) != EOF && c != '\n') {
        if (out && std::putc(c, out) == EOF)
            return false;
        last = c;
    }
    carriageReturn = last == '\r';
    terminated = c == '\n';
    truncated = false;
    return true;
}

IniLine ParseIniLine(const std::string& line)
{
    IniLine parsed;
    size_t first = 0;
    while (first < line.size() && std::isspace(static_cast<unsigned char>(line[first])))
        ++first;
    if (first < line.size() && line[first] == '[') {
        const size_t close = line.find(']', first + 1);
        if (close != std::string::npos) {
            parsed.kind = IniLine::Section;
            parsed.name = TrimmedIniText(line, first + 1, close);
        }
        return parsed;
    }
    const size_t equals = line.find('=', first);
    if (equals == std::string::npos || line[first] == ';')
        return parsed;
    parsed.kind = IniLine::Entry;
    parsed.name = TrimmedIniText(line, first, equals);
    parsed.value = TrimmedIniText(line, equals + 1, line.size());
    return parsed;
}

bool SameIniName(const std::string& a, const char* b)
{
    size_t i = 0;
    for (; i < a.size() && b[i] != '\0'; ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return i == a.size() && b[i] == '\0';
}
