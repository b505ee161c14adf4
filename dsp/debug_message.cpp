#include "dsp/debug_message.h"

#include <cstdarg>
#include <cstdio>

const char* const DebugMessageCaption = "デバッグ情報";

namespace {

void PrintToStandardError(const std::string& caption, const std::string& text)
{
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
}

DebugMessageHandler currentHandler = PrintToStandardError;

} // namespace

void SetDebugMessageHandler(DebugMessageHandler handler)
{
    currentHandler = handler ? handler : PrintToStandardError;
}

void DebugMessage(const char* format, ...)
{
    char text[2048];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    currentHandler(DebugMessageCaption, text);
}
