// Dialog templates and the runner every modal dialog goes through.
#pragma once

#include <windows.h>

constexpr int kDlgPaths = 103;
constexpr int kDlgProperties = 110;
constexpr int kDlgDetails = 111;
constexpr int kDlgProgress = 113;
constexpr int kDlgLoadError = 114;
constexpr int kDlgReset = 123;
constexpr int kDlgException = 128;

// In background mode shows nothing and returns 0; otherwise sets
// "SievoGUIVisible" to 1 and runs the dialog modally with no owner.
INT_PTR RunModalDialog(int templateId, DLGPROC proc);

// The template in the selected language (falling back to English).
HWND CreateLocalizedDialog(int templateId, HWND owner, DLGPROC proc);
INT_PTR ShowLocalizedDialog(int templateId, HWND owner, DLGPROC proc);
