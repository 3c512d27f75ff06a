// The read-only details of the selected plug-in (111): what the scan learnt.
#include "core/Strings.h"
#include "core/resource.h"
#include "diag/FailurePoint.h"
#include "ui/ConfigDialogs.h"
#include "ui/Dialogs.h"
#include "ui/HelpCommand.h"
#include "ui/SelectionList.h"

#include <strsafe.h>  // last: it retires the unbounded string functions other headers use

namespace {

void SetNumber(HWND dialog, int id, const wchar_t* format, long long value) {
    wchar_t text[32];
    StringCchPrintfW(text, 32, format, value);
    SetDlgItemTextW(dialog, id, text);
}

void SetYesNo(HWND dialog, int id, uint32_t value) {
    SetDlgItemTextW(dialog, id, LoadStr(value > 0 ? IDS_YES : IDS_NO).c_str());
}

void Fill(HWND dialog, const InventoryRecord& r) {
    SetDlgItemTextW(dialog, IDC_DETAILS_NAME, r.FullName);
    SetDlgItemTextW(dialog, IDC_DETAILS_PATH, r.FullPath);
    if (r.vstVersion > 1) SetNumber(dialog, IDC_DETAILS_VERSION, L"%lld", r.vstVersion);
    SetNumber(dialog, IDC_DETAILS_ID, L"%lld", r.uniqueId);
    SetNumber(dialog, IDC_DETAILS_OUTPUTS, L"%lld", r.numOutputs);
    SetYesNo(dialog, IDC_DETAILS_SYNTH, r.isSynth);
    SetYesNo(dialog, IDC_DETAILS_EVENTS_IN, r.wantEvents);
    SetYesNo(dialog, IDC_DETAILS_EVENTS_OUT, r.generateEvents);
}

INT_PTR CALLBACK DlgPropsProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    SetFunction(L"DlgPropsProc");
    SetFailurePoint(L"Proc");
    switch (message) {
        case WM_INITDIALOG:
            if (const InventoryRecord* r = SelectedRecord()) Fill(dialog, *r);
            return TRUE;
        case WM_HELP:
            ShowHelp();
            return TRUE;
        case WM_COMMAND:
            if (LOWORD(wParam) == IDC_OK) EndDialog(dialog, 0);
            return FALSE;
        default:
            return FALSE;
    }
}

}  // namespace

INT_PTR RunDetailsDialog() {
    return RunModalDialog(kDlgDetails, DlgPropsProc);
}
