#pragma once

#include <string>

// Shows a diagnostic text to the user. Below the application layer the text
// goes to a replaceable handler; the application installs one that shows a
// message box. Without a handler the text goes to standard error.
using DebugMessageHandler = void (*)(const std::string& caption, const std::string& text);

void SetDebugMessageHandler(DebugMessageHandler handler);

// Formats printf-style into at most 2047 characters and shows the result
// under the caption "デバッグ情報".
void DebugMessage(const char* format, ...) __attribute__((format(printf, 1, 2)));

extern const char* const DebugMessageCaption;
