#include "core/StatusLine.h"

#include <shlwapi.h>
#include <strsafe.h>

#include "core/ScanContext.h"

namespace {

// A module path wider than the status line keeps its start and its file
// name, with "..." for the folders between: the user wants to see which
// module is examined, and an edit would show the start alone.
void SetStatus(HWND progress, const wchar_t* text) {
    HWND status = GetDlgItem(progress, kIdcStatus);
    if (!status) return;
    wchar_t fitted[MAX_PATH] = {};
    StringCchCopyW(fitted, MAX_PATH, text ? text : L"");
    RECT rc{};
    GetClientRect(status, &rc);
    DWORD margins = static_cast<DWORD>(SendMessageW(status, EM_GETMARGINS, 0, 0));
    int width = rc.right - LOWORD(margins) - HIWORD(margins) - 2;
    if (HDC dc = GetDC(status)) {
        HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(status, WM_GETFONT, 0, 0)));
        if (width > 0) PathCompactPathW(dc, fitted, static_cast<UINT>(width));
        SelectObject(dc, old);
        ReleaseDC(status, dc);
    }
    SendMessageW(status, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(fitted));
}

}  // namespace

void SetProgressTextNow(HWND progress, const wchar_t* text) {
    if (!progress) return;
    SetStatus(progress, text);
    if (HWND status = GetDlgItem(progress, kIdcStatus)) SendMessageW(status, WM_PAINT, 0, 0);
}

void SetProgressText(HWND progress, const wchar_t* text) {
    if (!progress || g_ctx.background) return;
    SetStatus(progress, text);
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
