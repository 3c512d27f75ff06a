// The confirmation in front of an inventory reset (123): Yes ends it with 1.
#include "core/resource.h"
#include "diag/FailurePoint.h"
#include "ui/ConfigDialogs.h"
#include "ui/Dialogs.h"
#include "ui/HelpCommand.h"

namespace {

INT_PTR CALLBACK DlgResetProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    SetFunction(L"DlgResetProc");
    SetFailurePoint(L"Proc");
    switch (message) {
        case WM_INITDIALOG:
            return TRUE;
        case WM_HELP:
            ShowHelp();
            return TRUE;
        case WM_COMMAND:
            if (LOWORD(wParam) == IDC_OK) EndDialog(dialog, 1);
            if (LOWORD(wParam) == IDC_RESET_NO) EndDialog(dialog, 0);
            return FALSE;
        default:
            return FALSE;
    }
}

}  // namespace

INT_PTR ShowResetDialog() {
    // Only Yes resets: a dialog that could not be shown answers -1, and
    // nobody agreed to anything.
    return RunModalDialog(kDlgReset, DlgResetProc) == 1 ? 1 : 0;
}
