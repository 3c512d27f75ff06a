// The exception report (128): where the program itself was when it failed.
#include "ui/ConfigDialogs.h"

#include "core/ScanContext.h"
#include "diag/FailurePoint.h"
#include "ui/Dialogs.h"
#include "ui/HelpCommand.h"

namespace {

INT_PTR CALLBACK ExceptionProc(HWND window, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            SetDlgItemTextW(window, 1001, g_failure.function);
            SetDlgItemTextW(window, 1002, g_failure.failurePoint);
            return TRUE;
        case WM_HELP:
            ShowHelp();
            return TRUE;
        case WM_COMMAND:
            if (LOWORD(wParam) == 64) EndDialog(window, 0);
            return FALSE;
        default:
            return FALSE;
    }
}

}  // namespace

INT_PTR ShowExceptionDialog() {
    return RunModalDialog(kDlgException, ExceptionProc);
}
