#include "app/ProbeGuard.h"

#include <objbase.h>
#include <shellapi.h>
#include <shlwapi.h>

#include <string>

#include "app/ScanChildren.h"
#include "core/ScanContext.h"
#include "core/Win32Owners.h"
#include "diag/FailurePoint.h"
#include "diag/FaultGuard.h"
#include "diag/PluginLeftovers.h"
#include "diag/ScanLog.h"
#include "notify/HostNotify.h"
#include "ui/Dialogs.h"
#include "ui/HelpCommand.h"
#include "vst2/Vst2Probe.h"
#include "vst3/Vst3Probe.h"

namespace {

constexpr int kIdEnable = 64;
DWORD g_containedFaults = 0;

INT_PTR CALLBACK LoadErrorProc(HWND window, UINT message, WPARAM wParam, LPARAM) {
    SetFunction(L"DlgErrProc");
    SetFailurePoint(L"Proc");
    switch (message) {
        case WM_INITDIALOG:
            SetDlgItemTextW(window, 1001, g_failure.pluginName ? g_failure.pluginName : L"");
            SetDlgItemTextW(window, 1002, g_failure.step);
            return TRUE;
        case WM_HELP:
            ShowHelp();
            return TRUE;
        case WM_COMMAND:
            if (LOWORD(wParam) == kIdEnable) {
                g_ctx.errorDialogEnable = 1;
                EndDialog(window, kIdEnable);
            } else if (LOWORD(wParam) == IDCANCEL) {
                g_ctx.errorDialogEnable = 0;
                EndDialog(window, IDCANCEL);
            }
            return FALSE;
        default:
            return FALSE;
    }
}

void ReportPluginFault(const InventoryRecord& record) {
    LogExceptionLine();
    SetFailurePoint(L"Handling plugin exception");
    g_failure.pluginName = record.FullName;
    g_ctx.errorDialogEnable = 0;  // a dialog that cannot be shown leaves the plug-in disabled
    if (g_ctx.background) {
        NotifyHostText(kNotifyPluginError, L"Error: [%s] %s", record.FullName, g_failure.step);
        ShowLocalizedDialog(kDlgLoadError, nullptr, LoadErrorProc);
    } else {
        RunModalDialog(kDlgLoadError, LoadErrorProc);
    }
}

}  // namespace

bool ProgramToRunAgain(std::wstring* exe, std::wstring* folder) {
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv || argc < 1) {
        if (argv) LocalFree(argv);
        return false;
    }
    *exe = argv[0];
    LocalFree(argv);
    size_t slash = exe->find_last_of(L"\\/");
    *folder = exe->substr(0, slash == std::wstring::npos ? 0 : slash);
    return true;
}

std::wstring ToastGuidFlag() {
    wchar_t group[40] = {};
    StringFromGUID2(g_ctx.toastGuid, group, 40);
    return std::wstring(L"/ToastGuid:") + group;
}

DWORD SandboxTimeLimitMs() {
    if (!g_ctx.sandboxTimeout || g_ctx.sandboxTimeout > 24 * 3600) return INFINITE;
    return g_ctx.sandboxTimeout * 1000;
}

DWORD ContainedProbeFaults() {
    return g_containedFaults;
}

void RunSandboxedProbe(const InventoryRecord& record) {
    std::wstring exe, folder;
    if (!ProgramToRunAgain(&exe, &folder)) return;
    std::wstring parameters =
        std::wstring(g_ctx.commandLine) + L"/ScanVst:\"" + record.FullPath + L"\"" + ToastGuidFlag();

    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS;
    info.lpFile = exe.c_str();
    info.lpParameters = parameters.c_str();
    info.lpDirectory = folder.empty() ? nullptr : folder.c_str();
    info.nShow = SW_SHOWNORMAL;
    PrepareScanChildren();
    if (!ShellExecuteExW(&info) || !info.hProcess) return;
    UniqueHandle child(info.hProcess);
    TieToScan(child.Get());
    // A plug-in that never returns would hold the whole scan; with a time
    // limit the child is stopped and its record keeps the crash marker the
    // child wrote before the plug-in ran.
    if (WaitForSingleObject(child.Get(), SandboxTimeLimitMs()) == WAIT_TIMEOUT) {
        TerminateProcess(child.Get(), ERROR_TIMEOUT);
        WaitForSingleObject(child.Get(), 10000);
        WriteLog(L"%s: Sandboxed scan of %s stopped after %d seconds\r\n", kTag, record.FullPath,
                 static_cast<int>(g_ctx.sandboxTimeout));
    }
    DWORD exitCode = 0;
    GetExitCodeProcess(child.Get(), &exitCode);  // whatever the child did, the scan goes on
}

DWORD GuardedProbe(InventoryRecord* record, std::vector<InventoryRecord>* subRecords, HWND progress) {
    if (!record) return 0;
    DWORD result = 0;
    bool finished = RunGuarded([&] {
        if (StrStrIW(record->FullPath, L".vst3")) {  // the file search matched it in any letter case
            BeginProbeWatch();
            result = static_cast<DWORD>(LoadVst3Plugin(*record, subRecords, progress));
        } else {
            BeginProbeWatch();
            result = LoadVst2Plugin(*record, subRecords, progress);
        }
    });
    if (finished) {
        record->isBad = 0;
        if (subRecords)
            for (InventoryRecord& sub : *subRecords) sub.isBad = 0;
        return result;
    }

    // Its windows would go on receiving messages (the load-error dialog's own
    // loop delivers them) and a fault there would be no longer contained.
    ++g_containedFaults;
    if (!RunGuarded(PurgeWatchedModules)) LogExceptionLine();
    ReportPluginFault(*record);
    if (g_ctx.errorDialogEnable) {
        record->isBad = 0;
        if (!subRecords) return 1;
        for (InventoryRecord& sub : *subRecords) sub.isBad = 0;
        return static_cast<DWORD>(subRecords->size());
    }
    record->isBad = 1;
    ++g_ctx.pluginErrors;
    return 0;
}
