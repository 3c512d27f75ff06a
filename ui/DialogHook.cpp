#include "ui/DialogHook.h"

#include <windows.h>

#include <set>

#include "core/ScanContext.h"

namespace {

std::set<HWND> g_windows;

LRESULT CALLBACK CallWndRetProc(int code, WPARAM wParam, LPARAM lParam) {
    if (code >= 0 && lParam) {
        const CWPRETSTRUCT* msg = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
        LONG style = GetWindowLongW(msg->hwnd, GWL_STYLE);
        if (!(style & WS_CHILD)) {
            if (msg->message == WM_CREATE) {
                g_windows.insert(msg->hwnd);
            } else if (msg->message == WM_DESTROY) {
                g_windows.erase(msg->hwnd);
            } else if (msg->message == WM_SHOWWINDOW && g_windows.count(msg->hwnd)) {
                SetWindowPos(msg->hwnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
            }
        }
    }
    return CallNextHookEx(g_ctx.callWndRetHook, code, wParam, lParam);
}

}  // namespace

void InstallDialogHook() {
    if (g_ctx.callWndRetHook) {
        UnhookWindowsHookEx(g_ctx.callWndRetHook);
        g_ctx.callWndRetHook = nullptr;
    }
    g_windows.clear();
    g_ctx.callWndRetHook = SetWindowsHookExW(WH_CALLWNDPROCRET, CallWndRetProc, nullptr, GetCurrentThreadId());
}
