// The scan log: a printf-style line writer over the logging component. It
// does nothing while the log is off, so every stage can write freely.
#pragma once

#include <windows.h>

constexpr wchar_t kTag[] = L"SIEVO";
constexpr size_t kLogLineChars = 1024;  // 1023 characters and the terminator

// Creates the logging component and opens the log file; writes the header
// line. Returns the component, or null when the log could not be opened.
IUnknown* OpenLog();
// Wide printf rules: %s takes a wide string. Lines are cut at 1023 characters.
void WriteLog(const wchar_t* format, ...);
void CloseLog();
