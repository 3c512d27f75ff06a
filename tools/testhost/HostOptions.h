// The test host's own command line:
//   TestHost.exe [options] -- <text appended verbatim to Sievo's command line>
// Options: --report FILE (JSON), --lines FILE (readable lines), --timeout MS,
// --no-background, --no-toast, --toast {GUID}, --hwnd self|zero|gone|none,
// --answer N (what the window returns for WM_COPYDATA), --destroy-after N
// (the window goes away after N notifications).
#pragma once

#include <windows.h>

#include <string>

enum class HwndMode { Self, Zero, Gone, None };

struct HostOptions {
    std::wstring reportPath;
    std::wstring linesPath;
    DWORD timeoutMs = 120000;
    bool background = true;
    bool toast = true;
    std::wstring toastText;  // empty: a fresh GUID
    HwndMode hwnd = HwndMode::Self;
    LRESULT answer = TRUE;
    int destroyAfter = -1;
    std::wstring sievoFlags;
};

// False (with a reason) for an option it does not know.
bool ParseHostOptions(const wchar_t* commandLine, HostOptions* options, std::wstring* error);
