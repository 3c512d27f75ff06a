#include "app/RunSequence.h"

#include <objbase.h>

#include "app/AnalysisLoop.h"
#include "app/CommandLine.h"
#include "app/Completion.h"
#include "app/Initialise.h"
#include "app/ScanWorker.h"
#include "core/ScanContext.h"
#include "core/Strings.h"
#include "core/Win32Owners.h"
#include "core/resource.h"
#include "diag/FailurePoint.h"
#include "diag/FaultGuard.h"
#include "diag/ScanLog.h"
#include "discovery/ScanFolders.h"
#include "discovery/ScanPaths.h"
#include "inventory/GuiVisible.h"
#include "inventory/InventoryStore.h"
#include "inventory/TouchSweep.h"
#include "notify/HostNotify.h"
#include "ui/ConfigDialogs.h"
#include "ui/DialogHook.h"
#include "ui/ProgressWindow.h"

namespace {

enum class Outcome { EndNow, Complete };

void ClosePathsKey() {
    if (g_ctx.pathsKey) RegCloseKey(g_ctx.pathsKey);
    g_ctx.pathsKey = nullptr;
}

// Steps 8 to 11: the dialogs of a configuration run, in their fixed order.
void RunConfiguration() {
    if (g_ctx.showPluginProps) {
        SetFailurePoint(L"User config");
        LoadInventory(g_ctx.inventory);
        g_ctx.propsForPlugin = 1;
        ShowPluginProperties(g_ctx.propsPluginClsid);
    }
    if (g_ctx.showFolderDefaults) {
        SetFailurePoint(L"User config Defaults");
        g_ctx.propsForPlugin = 0;
        ShowFolderDefaults();
    }
    if (g_ctx.resetRequested) {
        SetFailurePoint(L"User config Reset");
        LoadInventory(g_ctx.inventory);
        if (ShowResetDialog()) {
            ClearTouchFlags();
            g_ctx.pluginsDeleted += DeleteUntouched();
            RegKey config;
            if (config.Open(g_ctx.registryRoot, g_ctx.configKeyPath, KEY_READ) == ERROR_SUCCESS)
                RegDeleteTreeW(config.Get(), L"Inventory");
        }
    }
    SetGuiVisible(0);
    if (g_ctx.inventoryChanged) WriteScanMetrics();
    if (g_ctx.hostWindow) SetForegroundWindow(g_ctx.hostWindow);
    CloseLog();
}

Outcome EndWithoutPaths() {
    ClosePathsKey();
    WriteLog(L"No VST Scan paths were found in the registry. Now exiting Sievo!\r\n");
    CloseLog();
    return Outcome::EndNow;
}

void WriteListing() {
    WriteLog(L"-------- VST scan path's --------\r\n");
    for (const std::wstring& path : g_ctx.scanPaths) WriteLog(L"%s\r\n", path.c_str());
    WriteLog(L"-----------------------------\r\n");
    WriteLog(L"------- %d DLL's found -------\r\n", static_cast<int>(g_ctx.candidates.size()));
    int n = 0;
    for (const std::wstring& candidate : g_ctx.candidates) WriteLog(L"%d: %s\r\n", ++n, candidate.c_str());
    WriteLog(L"-----------------------------\r\n");
}

}  // namespace

void RunScan() {
    if (g_ctx.background && g_ctx.hostWindow) {
        if (IsEqualGUID(g_ctx.toastGuid, GUID{})) CoCreateGuid(&g_ctx.toastGuid);
        if (!g_ctx.singlePluginMode) NotifyHostById(kNotifyProgress, IDS_SCAN_STARTED);
    }

    SetFailurePoint(L"Scanning for plugs");

    HWND progress = nullptr;
    if (!g_ctx.background) {
        progress = CreateProgressWindow();
        if (progress) {
            ShowWindow(progress, SW_SHOW);
            if (g_ctx.hostProcessId) AllowSetForegroundWindow(g_ctx.hostProcessId);
            SendDlgItemMessageW(progress, kIdcStatus, WM_SETTEXT, 0,
                                reinterpret_cast<LPARAM>(LoadStr(IDS_BUILDING_LIST).c_str()));
        }
    }

    DWORD internalCount = 0;
    if (g_ctx.singlePluginMode) {
        g_ctx.candidates.push_back(g_ctx.singlePluginPath);
    } else {
        if (g_ctx.background && g_ctx.hostWindow) NotifyHostById(kNotifyProgress, IDS_SEARCHING);
        NormaliseScanFolders(g_ctx.scanPaths);
        NormaliseScanFolders(g_ctx.internalPaths);
        for (std::wstring& folder : g_ctx.scanPaths) {
            DWORD added = GetVstPaths(folder, g_ctx.candidates, progress);
            for (const std::wstring& internal : g_ctx.internalPaths)
                if (_wcsicmp(folder.c_str(), internal.c_str()) == 0) internalCount += added;
        }
    }

    if (!g_ctx.singlePluginMode) StartTouchMarks();
    if (g_ctx.logEnabled && !g_ctx.singlePluginMode) WriteListing();

    AnalyseVstPlugins(g_ctx.candidates, g_ctx.inventory, progress, internalCount);

    if (progress) DestroyWindow(progress);

    SetFailurePoint(L"Cleanup post-analysis");
    // After Cancel the modules the loop never reached are still unmarked:
    // sweeping now would remove records of plug-ins that are installed.
    if (!g_ctx.singlePluginMode && !g_ctx.cancelRequested) g_ctx.pluginsDeleted += DeleteUntouched();

    SetFailurePoint(L"Cleaning up plugin paths");
    g_ctx.candidates.clear();
    SetFailurePoint(L"Cleaning up path list");
    g_ctx.scanPaths.clear();
    g_ctx.internalPaths.clear();
}

namespace {

// Steps 2 to 22, inside the protected region.
Outcome ProtectedRun(HINSTANCE instance, HINSTANCE previous, const char* commandLine, int showCommand) {
    SetFunction(L"Main");
    SetFailurePoint(L"Init");
    if (!Initialise(instance, previous, commandLine, showCommand)) return Outcome::EndNow;

    SetFailurePoint(L"User setup");
    if (!g_ctx.uiOnly && !g_ctx.singlePluginMode && g_ctx.scanPaths.empty()) return EndWithoutPaths();
    if (g_ctx.showPathsDialog) {
        ShowPathsDialog();
        // In background mode no dialog can add a folder: asking again would
        // wait for ever and hold the mutex every later scan needs.
        if (g_ctx.background && g_ctx.scanPaths.empty()) return EndWithoutPaths();
        while (g_ctx.scanPaths.empty()) {
            MessageBoxW(nullptr, LoadStr(IDS_NO_PATHS).c_str(), LoadStr(IDS_NO_PATHS_CAPTION).c_str(), MB_OK);
            ShowPathsDialog();
        }
    }
    ClosePathsKey();
    if (WorkerPipe()) {
        ServeAsWorker();
        return Outcome::EndNow;
    }
    if (g_ctx.uiOnly) {
        RunConfiguration();
        return Outcome::EndNow;
    }
    RunScan();
    return Outcome::Complete;
}

}  // namespace

int RunSievo(HINSTANCE instance, HINSTANCE previous, const char* commandLine, int showCommand) {
    InstallDialogHook();

    Outcome outcome = Outcome::Complete;
    bool finished = RunGuarded([&] { outcome = ProtectedRun(instance, previous, commandLine, showCommand); });
    if (!finished) {
        LogExceptionLine();
        if (!g_ctx.background) ShowExceptionDialog();
    } else if (outcome == Outcome::EndNow) {
        return InvalidArguments() ? kExitInvalidArguments : 0;
    }
    return Complete();
}
