#include "app/Completion.h"

#include <shlwapi.h>

#include "core/ScanContext.h"
#include "core/Win32Owners.h"
#include "core/resource.h"
#include "diag/ScanLog.h"
#include "inventory/GuiVisible.h"
#include "inventory/RegistryValues.h"
#include "notify/HostNotify.h"
#include "vst2/BitmapCache.h"

namespace {

constexpr wchar_t kMetricsMutexName[] = L"Tarnwell Sievo.exe scan metrics";

void StoreCounter(HKEY key, const wchar_t* name, DWORD count) {
    if (g_ctx.singlePluginMode) {
        DWORD stored = 0;  // a missing counter counts as 0
        ReadDword(key, name, &stored);
        count += stored;
    }
    WriteDword(key, name, count);
}

}  // namespace

void WriteScanMetrics() {
    if (!g_ctx.pluginsScanned && !g_ctx.pluginsDeleted && !g_ctx.pluginsFound && !g_ctx.inventoryChanged) return;
    RegKey key;
    key.Open(g_ctx.registryRoot, ConfigSubkey(L"Inventory").c_str(), KEY_ALL_ACCESS);
    if (key && !g_ctx.scanInSandbox) {
        // Sandbox workers add their counts at the same time: each read-add-
        // write must see the others' sums.
        static HANDLE sums = g_ctx.singlePluginMode ? CreateMutexW(nullptr, FALSE, kMetricsMutexName) : nullptr;
        bool held = sums && WaitForSingleObject(sums, INFINITE) != WAIT_FAILED;  // abandoned: its owner died, ours now
        StoreCounter(key.Get(), L"PluginsFound", g_ctx.pluginsFound);
        StoreCounter(key.Get(), L"PluginsScanned", g_ctx.pluginsScanned);
        StoreCounter(key.Get(), L"PluginsDeleted", g_ctx.pluginsDeleted);
        if (held) ReleaseMutex(sums);
    }
    if (key && (g_ctx.pluginsScanned || g_ctx.pluginsDeleted || g_ctx.inventoryChanged)) {
        SYSTEMTIME now;
        GetLocalTime(&now);
        FILETIME stamp;
        if (SystemTimeToFileTime(&now, &stamp))
            RegSetValueExW(key.Get(), L"lastUpdateTime", 0, REG_QWORD, reinterpret_cast<const BYTE*>(&stamp),
                           sizeof stamp);
    }
}

int Complete() {
    if (!g_ctx.singlePluginMode) g_ctx.notifyFlag = 1;
    if (g_ctx.hostWindow && !g_ctx.background) SetForegroundWindow(g_ctx.hostWindow);
    SetGuiVisible(0);
    WriteScanMetrics();

    if (!g_ctx.singlePluginMode && g_ctx.background && g_ctx.hostWindow) {
        if (g_ctx.pluginsScanned || g_ctx.pluginsDeleted || g_ctx.inventoryChanged) {
            NotifyHostText(kNotifyProgress, L"Rebuilding plugin menus...");
            PostInventoryChange();
        }
        NotifyHostById(kNotifyProgress, IDS_SCAN_COMPLETE, g_ctx.pluginsFound, g_ctx.pluginsScanned,
                       g_ctx.pluginsDeleted, g_ctx.pluginErrors);
        if (g_ctx.logEnabled && g_ctx.logger) {
            wchar_t shortPath[kPathChars];
            if (!PathUnExpandEnvStringsW(g_ctx.logPath, shortPath, kPathChars))
                lstrcpynW(shortPath, g_ctx.logPath, kPathChars);
            g_ctx.notifyFlag = 0;
            g_ctx.toastGuid = GUID{};
            NotifyHostText(kNotifyProgress, L"Sievo Log created. %s", shortPath);
            g_ctx.notifyFlag = 1;
        }
    }
    CloseLog();
    StopBitmapStore();
    return 0;
}
