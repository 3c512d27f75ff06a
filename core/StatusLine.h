// The status line of the progress window, as the scan's steps update it, and
// the message pump between them. The window itself is made by the user
// interface; these only need its handle.
#pragma once

#include <windows.h>

constexpr int kIdcStatus = 1022;

// Sets the status line and repaints it at once (WM_PAINT sent to the control).
void SetProgressTextNow(HWND progress, const wchar_t* text);
// Sets the status line and updates the window; nothing in background mode.
void SetProgressText(HWND progress, const wchar_t* text);
// Dispatches every waiting message of the thread; no dialog translation.
void PumpMessages();
// Dispatches the waiting messages of the progress window and its controls
// only: between probes nothing else on this thread is the scanner's.
void PumpProgressMessages(HWND progress);
