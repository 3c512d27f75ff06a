// The process-wide state of one run: mode flags from the command line, where
// the inventory lives, preferences, counters, the folder and candidate lists
// and the loaded inventory. One run per process, so one instance.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "core/InventoryRecord.h"

struct IUnknown;

constexpr wchar_t kDefaultConfigKey[] = L"Software\\Tarnwell Music Software\\Tarnwell\\Tarnwell VST";
constexpr size_t kPathChars = 260;
constexpr size_t kCommandLineChars = 2048;
constexpr size_t kFolderChars = 1024;

struct ScanContext {
    HINSTANCE instance = nullptr;
    HKEY registryRoot = HKEY_LOCAL_MACHINE;
    wchar_t configKeyPath[kPathChars] = {};
    wchar_t commandLine[kCommandLineChars] = {};
    DWORD singlePluginMode = 0;
    wchar_t singlePluginPath[kFolderChars] = {};  // a module path may pass the classic limit
    DWORD logEnabled = 0;
    DWORD uiOnly = 0;
    DWORD showPluginProps = 0;
    DWORD showPathsDialog = 0;
    DWORD showFolderDefaults = 0;
    DWORD resetRequested = 0;
    GUID propsPluginClsid = {};
    GUID toastGuid = {};
    DWORD hostProcessId = 0;
    HWND hostWindow = nullptr;
    DWORD background = 0;
    DWORD noRescanning = 0;
    DWORD noPrefix = 1;
    DWORD scanInSandbox = 1;
    DWORD rescanExisting = 0;
    DWORD rescanFailed = 0;
    // Seconds a sandboxed child may run; 0 waits as long as it takes. A host
    // that never sees its scan end is worse off than one plug-in stopped early.
    DWORD sandboxTimeout = 120;
    // Sandbox workers probing at once (1 to 8); 0 until the preferences are
    // read, which choose one per processor.
    DWORD sandboxWorkers = 0;
    DWORD pluginsFound = 0;
    DWORD pluginsScanned = 0;
    DWORD pluginsDeleted = 0;
    DWORD pluginErrors = 0;
    DWORD inventoryChanged = 0;
    std::vector<std::wstring> scanPaths;      // internal folders first, then the user's
    std::vector<std::wstring> internalPaths;  // the internal folders again, for counting
    std::vector<std::wstring> candidates;
    HKEY pathsKey = nullptr;
    std::vector<InventoryRecord> inventory;
    InventoryRecord defaultsRecord;
    DWORD propsForPlugin = 0;
    DWORD errorDialogEnable = 0;
    DWORD cancelRequested = 0;  // the progress window's Cancel; never cleared
    DWORD notifyFlag = 0;
    IUnknown* logger = nullptr;
    wchar_t logPath[kPathChars] = {};
    HHOOK callWndRetHook = nullptr;
    HANDLE instanceMutex = nullptr;
};

extern ScanContext g_ctx;

// Full path of configKeyPath + "\" + sub, bounded to the key path size.
std::wstring ConfigSubkey(const wchar_t* sub);
