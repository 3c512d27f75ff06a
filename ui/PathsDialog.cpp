// The scan paths dialog (103): the folders a scan searches, the two rescan
// options, and the way to the folder defaults and the inventory reset.
#include <shlobj.h>

#include <algorithm>

#include "core/ScanContext.h"
#include "core/Strings.h"
#include "core/resource.h"
#include "diag/FailurePoint.h"
#include "inventory/GuiVisible.h"
#include "ui/ConfigDialogs.h"
#include "ui/ConfigStore.h"
#include "ui/Dialogs.h"
#include "ui/HelpCommand.h"

namespace {

bool Checked(HWND dialog, int id) {
    return IsDlgButtonChecked(dialog, id) == BST_CHECKED;
}

// OK stays disabled while another window of ours is in front of the dialog.
template <class Fn>
void WithOkDisabled(HWND dialog, Fn&& fn) {
    EnableWindow(GetDlgItem(dialog, IDC_OK), FALSE);
    fn();
    EnableWindow(GetDlgItem(dialog, IDC_OK), TRUE);
}

// A list box scrolls sideways only as far as it is told: as far as its
// widest folder, so that the end of a long path can be read.
void FitHorizontalExtent(HWND dialog) {
    HWND list = GetDlgItem(dialog, IDC_PATHS_LIST);
    HDC dc = list ? GetDC(list) : nullptr;
    if (!dc) return;
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(list, WM_GETFONT, 0, 0)));
    LONG widest = 0;
    for (const std::wstring& folder : g_ctx.scanPaths) {
        SIZE size{};
        GetTextExtentPoint32W(dc, folder.c_str(), static_cast<int>(folder.size()), &size);
        widest = std::max(widest, size.cx);
    }
    SelectObject(dc, old);
    ReleaseDC(list, dc);
    // Room for the selection's focus rectangle around the text.
    SendMessageW(list, LB_SETHORIZONTALEXTENT, widest ? static_cast<WPARAM>(widest + 6) : 0, 0);
}

void AddFolder(HWND dialog) {
    std::wstring title = LoadStr(IDS_CHOOSE_FOLDER);
    LPITEMIDLIST chosen = nullptr;
    WithOkDisabled(dialog, [&] {
        BROWSEINFOW info{};
        info.lpszTitle = title.c_str();
        info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_DONTGOBELOWDOMAIN;
        chosen = SHBrowseForFolderW(&info);
    });
    if (!chosen) return;
    wchar_t folder[kFolderChars] = {};
    BOOL converted = SHGetPathFromIDListW(chosen, folder);
    CoTaskMemFree(chosen);
    if (!converted || !folder[0]) return;
    if (AddScanFolder(folder)) {
        SendDlgItemMessageW(dialog, IDC_PATHS_LIST, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(folder));
        FitHorizontalExtent(dialog);
    }
}

void RemoveFolder(HWND dialog) {
    LRESULT row = SendDlgItemMessageW(dialog, IDC_PATHS_LIST, LB_GETCURSEL, 0, 0);
    if (row < 0) return;
    // Row i of the unsorted list is entry i of scanPaths.
    RemoveScanFolder(static_cast<size_t>(row));
    SendDlgItemMessageW(dialog, IDC_PATHS_LIST, LB_DELETESTRING, static_cast<WPARAM>(row), 0);
    FitHorizontalExtent(dialog);
}

INT_PTR CALLBACK DlgPathsProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    SetFunction(L"DlgPathsProc");
    SetFailurePoint(L"Proc");
    switch (message) {
        case WM_INITDIALOG:
            for (const std::wstring& folder : g_ctx.scanPaths)
                SendDlgItemMessageW(dialog, IDC_PATHS_LIST, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(folder.c_str()));
            FitHorizontalExtent(dialog);
            CheckDlgButton(dialog, IDC_PATHS_RESCAN_FAILED, g_ctx.rescanFailed ? BST_CHECKED : BST_UNCHECKED);
            CheckDlgButton(dialog, IDC_PATHS_RESCAN_EXISTING, g_ctx.rescanExisting ? BST_CHECKED : BST_UNCHECKED);
            return TRUE;
        case WM_HELP:
            ShowHelp();
            return TRUE;
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case IDC_OK:
                    g_ctx.rescanFailed = Checked(dialog, IDC_PATHS_RESCAN_FAILED);
                    g_ctx.rescanExisting = Checked(dialog, IDC_PATHS_RESCAN_EXISTING);
                    SaveRescanOptions();
                    EndDialog(dialog, 0);
                    break;
                case IDC_PATHS_ADD:
                    AddFolder(dialog);
                    break;
                case IDC_PATHS_REMOVE:
                    RemoveFolder(dialog);
                    break;
                case IDC_PATHS_DEFAULTS:
                    g_ctx.propsForPlugin = 0;
                    WithOkDisabled(dialog, [] { RunPropertiesDialog(); });
                    break;
                case IDC_PATHS_RESET:
                    WithOkDisabled(dialog, [] {
                        if (ShowResetDialog()) ResetInventory();
                    });
                    break;
                case IDC_PATHS_CANCEL:
                    // Cancel leaves the program; nothing else is saved.
                    SetGuiVisible(0);
                    ExitProcess(0);
            }
            return FALSE;
        default:
            return FALSE;
    }
}

}  // namespace

INT_PTR ShowPathsDialog() {
    return RunModalDialog(kDlgPaths, DlgPathsProc);
}
