// The small modeless window of a visible scan: a status line and Cancel.
#pragma once

#include <windows.h>

constexpr int kIdcStatus = 1022;

// Creates dialog 113 (not shown); null when it cannot be created.
HWND CreateProgressWindow();
// Sets the status line and repaints it at once (WM_PAINT sent to the control).
void SetProgressTextNow(HWND progress, const wchar_t* text);
// Sets the status line and updates the window; nothing in background mode.
void SetProgressText(HWND progress, const wchar_t* text);
// Dispatches every waiting message of the thread; no dialog translation.
void PumpMessages();
// Dispatches the waiting messages of the progress window and its controls
// only: between probes nothing else on this thread is the scanner's.
void PumpProgressMessages(HWND progress);
