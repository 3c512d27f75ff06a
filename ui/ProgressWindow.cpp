#include "ui/ProgressWindow.h"

#include "core/ScanContext.h"
#include "ui/Dialogs.h"
#include "ui/HelpCommand.h"

namespace {

INT_PTR CALLBACK ProgressProc(HWND window, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            // The status line is read-only: focus on Cancel keeps its caret away.
            SetFocus(GetDlgItem(window, IDCANCEL));
            return FALSE;
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
