#include "ui/ProgressWindow.h"

#include "app/ScanContext.h"
#include "ui/Dialogs.h"
#include "ui/HelpCommand.h"

namespace {

INT_PTR CALLBACK ProgressProc(HWND window, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            return TRUE;
        case WM_HELP:
            ShowHelp();
            return TRUE;
        case WM_COMMAND:
            if (LOWORD(wParam) == IDCANCEL) g_ctx.cancelRequested = 1;  // the loop stops at the next module
            if (LOWORD(wParam) == 64) EndDialog(window, 0);
            return FALSE;
        default:
            return FALSE;
    }
}

}  // namespace

HWND CreateProgressWindow() {
    return CreateLocalizedDialog(kDlgProgress, nullptr, ProgressProc);
}

void SetProgressTextNow(HWND progress, const wchar_t* text) {
    if (!progress) return;
    SendDlgItemMessageW(progress, kIdcStatus, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
    if (HWND status = GetDlgItem(progress, kIdcStatus)) SendMessageW(status, WM_PAINT, 0, 0);
}

void SetProgressText(HWND progress, const wchar_t* text) {
    if (!progress || g_ctx.background) return;
    SendDlgItemMessageW(progress, kIdcStatus, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
    UpdateWindow(progress);
}

void PumpMessages() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

void PumpProgressMessages(HWND progress) {
    if (!progress) return;
    MSG msg;
    while (PeekMessageW(&msg, progress, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}
