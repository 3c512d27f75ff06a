#include "vst2/Bridge.h"

#include <shlwapi.h>
#include <strsafe.h>

#include "core/ProbeState.h"
#include "diag/FailurePoint.h"
#include "diag/ScanLog.h"
#include "vst2/HostCallback.h"

namespace {

constexpr wchar_t kBridgeFile[] = L"\\Gantry.dll";

void BuildBridgePath() {
    if (g_bridgePath[0]) return;
    wchar_t folder[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, folder, MAX_PATH);
    folder[MAX_PATH - 1] = 0;
    if (!PathRemoveFileSpecW(folder)) return;
    StringCchCopyW(g_bridgePath, ARRAYSIZE(g_bridgePath), folder);
    StringCchCatW(g_bridgePath, ARRAYSIZE(g_bridgePath), kBridgeFile);
}

void LogBridgeLoadFailure(DWORD error) {
    WriteLog(L"%s: DLL load failed...\r\n", kTag);
    wchar_t text[512] = {};
    FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
                   MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), text, ARRAYSIZE(text), nullptr);
    WriteLog(L"hPlugin is NULL, plugin failed to load with error %0x, %s\n", error, text);
}

// The bridge takes the plug-in's path in the ANSI code page. A path with
// characters outside it goes by its short form, which the system keeps to
// characters any code page can carry.
AEffect* CallBridge(const InventoryRecord& record, LoadVst32Proc load) {
    char path[MAX_PATH] = {};
    BOOL lossy = FALSE;
    WideCharToMultiByte(CP_ACP, 0, record.FullPath, -1, path, MAX_PATH, nullptr, &lossy);
    if (lossy || wcslen(record.FullPath) >= MAX_PATH) {
        wchar_t shortPath[MAX_PATH] = {};
        DWORD n = GetShortPathNameW(record.FullPath, shortPath, MAX_PATH);
        if (n > 0 && n < MAX_PATH) WideCharToMultiByte(CP_ACP, 0, shortPath, -1, path, MAX_PATH, nullptr, nullptr);
    }
    path[MAX_PATH - 1] = 0;
    return load(path, HostCallback);
}

}  // namespace

AEffect* LoadThroughBridge(const InventoryRecord& record, Vst2Session& session) {
    BuildBridgePath();
    WriteLog(L"%s: Load Gantry.DLL...\r\n", kTag);
    SetStep(L"Load Gantry.DLL");
    session.module = LoadLibraryExW(g_bridgePath, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (!session.module) {
        LogBridgeLoadFailure(GetLastError());
        return nullptr;
    }
    SetStep(L"Get Gantry proc address");
    session.bridgeLoad =
        reinterpret_cast<LoadVst32Proc>(reinterpret_cast<void*>(GetProcAddress(session.module, "LoadVST32")));
    if (!session.bridgeLoad) return nullptr;

    SetStep(L"Load VST via Gantry");
    AEffect* effect = CallBridge(record, session.bridgeLoad);
    WriteLog(effect ? L"%s: Load successful with Gantry...\r\n" : L"%s: Load failed with Gantry...\r\n", kTag);
    return effect;
}

AEffect* CreateThroughBridge(const InventoryRecord& record, const Vst2Session& session) {
    if (!session.bridgeLoad) return nullptr;
    SetStep(L"Create shell sub-plugin via Gantry");
    return CallBridge(record, session.bridgeLoad);
}
