#include "app/Initialise.h"

#include <strsafe.h>

#include <set>

#include "app/CommandLine.h"
#include "app/Completion.h"
#include "core/ComApartment.h"
#include "core/ScanContext.h"
#include "core/Strings.h"
#include "core/Win32Owners.h"
#include "core/resource.h"
#include "diag/FailurePoint.h"
#include "diag/ScanLog.h"
#include "inventory/GuiVisible.h"
#include "inventory/RegistryValues.h"

namespace {

constexpr wchar_t kMutexName[] = L"Tarnwell Sievo.exe";

void WriteProgramPath() {
    RegKey key;
    if (key.Create(g_ctx.registryRoot, g_ctx.configKeyPath, KEY_ALL_ACCESS) != ERROR_SUCCESS) return;
    wchar_t self[kPathChars] = {};
    GetModuleFileNameW(nullptr, self, kPathChars);
    self[kPathChars - 1] = 0;
    WriteText(key.Get(), L"SievoPath", self);
}

void ReadPreferences() {
    SetFailurePoint(L"Loading Sievo preferences");
    RegKey key;
    if (key.Open(g_ctx.registryRoot, g_ctx.configKeyPath, KEY_READ) != ERROR_SUCCESS) return;
    ReadDword(key.Get(), L"noPrefix", &g_ctx.noPrefix);
    if (g_ctx.noRescanning) {
        g_ctx.rescanFailed = 0;
        g_ctx.rescanExisting = 0;
    } else {
        ReadDword(key.Get(), L"rescanExisting", &g_ctx.rescanExisting);
        ReadDword(key.Get(), L"rescanFailed", &g_ctx.rescanFailed);
    }
    if (!g_ctx.singlePluginMode && g_ctx.background)
        ReadDword(key.Get(), L"scanInSandbox", &g_ctx.scanInSandbox);
    else
        g_ctx.scanInSandbox = 0;
    if (!g_ctx.logEnabled) ReadDword(key.Get(), L"generateScanLog", &g_ctx.logEnabled);
    ReadDword(key.Get(), L"sandboxTimeout", &g_ctx.sandboxTimeout);
    g_ctx.sandboxWorkers = 0;
    ReadDword(key.Get(), L"sandboxWorkers", &g_ctx.sandboxWorkers);
}

// One worker per processor keeps every core busy with plug-ins while the
// scan itself mostly waits; more than 8 buys nothing but memory.
void ChooseSandboxWorkers() {
    constexpr DWORD kMostWorkers = 8;
    if (g_ctx.sandboxWorkers == 0) {
        SYSTEM_INFO info{};
        GetSystemInfo(&info);
        g_ctx.sandboxWorkers = info.dwNumberOfProcessors ? info.dwNumberOfProcessors : 1;
    }
    if (g_ctx.sandboxWorkers > kMostWorkers) g_ctx.sandboxWorkers = kMostWorkers;
}

// Sandboxed children add their counts to these; they start from 0.
void ResetScanMetrics() {
    SetFailurePoint(L"Reset Scan Metrics");
    RegKey key;
    if (key.Open(g_ctx.registryRoot, ConfigSubkey(L"Inventory").c_str(), KEY_ALL_ACCESS) != ERROR_SUCCESS) return;
    WriteDword(key.Get(), L"PluginsFound", 0);
    WriteDword(key.Get(), L"PluginsScanned", 0);
    WriteDword(key.Get(), L"PluginsDeleted", 0);
}

void ReadScanFolders() {
    SetFailurePoint(L"Path configuration");
    if (HKEY internal = ReadFolderList(g_ctx.scanPaths, ConfigSubkey(L"VSTInternalPath").c_str()))
        RegCloseKey(internal);
    g_ctx.internalPaths = g_ctx.scanPaths;
    g_ctx.pathsKey = ReadFolderList(g_ctx.scanPaths, ConfigSubkey(L"Paths").c_str());
}

}  // namespace

bool IsAnotherScanRunning() {
    if (HANDLE other = OpenMutexW(MUTEX_ALL_ACCESS, FALSE, kMutexName)) {
        CloseHandle(other);
        return true;
    }
    // Held for the life of the process; the system removes it at exit.
    g_ctx.instanceMutex = CreateMutexW(nullptr, FALSE, kMutexName);
    return false;
}

HKEY ReadFolderList(std::vector<std::wstring>& list, const wchar_t* keyPath) {
    RegKey key;
    if (key.Create(g_ctx.registryRoot, keyPath, KEY_ALL_ACCESS) != ERROR_SUCCESS) return nullptr;
    DWORD values = 0;
    if (RegQueryInfoKeyW(key.Get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr,
                         nullptr, nullptr) != ERROR_SUCCESS ||
        values == 0)
        return key.Release();

    std::set<std::wstring> folders;
    for (DWORD index = 0;; ++index) {
        wchar_t name[kFolderChars];
        DWORD nameChars = kFolderChars;
        wchar_t data[kFolderChars / 2 + 1] = {};  // 1024 bytes and room for a terminator
        DWORD dataBytes = 1024;
        DWORD type = 0;
        LONG rc = RegEnumValueW(key.Get(), index, name, &nameChars, nullptr, &type, reinterpret_cast<BYTE*>(data),
                                &dataBytes);
        if (rc == ERROR_MORE_DATA) continue;  // an over-long value is skipped, the rest still count
        if (rc != ERROR_SUCCESS) break;
        if (type != REG_SZ && type != REG_EXPAND_SZ) continue;
        data[dataBytes / sizeof(wchar_t)] = 0;
        if (type == REG_EXPAND_SZ) {
            // "%TEMP%\plugins" as the user wrote it means the folder it names.
            wchar_t expanded[kFolderChars / 2 + 1] = {};
            DWORD n = ExpandEnvironmentStringsW(data, expanded, ARRAYSIZE(expanded));
            if (n > 0 && n <= ARRAYSIZE(expanded)) StringCchCopyW(data, ARRAYSIZE(data), expanded);
        }
        size_t len = wcslen(data);
        if (len == 0) continue;
        if (len > 1 && data[len - 1] == L'\\' && data[len - 2] != L':') data[--len] = 0;
        CharLowerBuffW(data, static_cast<DWORD>(len));
        folders.insert(data);
    }
    for (const std::wstring& folder : folders) list.push_back(folder);
    return key.Release();
}

void LoadFolderDefaults() {
    SetFailurePoint(L"Setup defaults");
    InventoryRecord& d = g_ctx.defaultsRecord;
    d = InventoryRecord();
    d.isVst = 1;
    d.isVst3 = 0;
    d.isNew = 1;
    d.registerAsPlug = 1;
    d.delayCompensation = 1;
    d.forceMono = 1;
    d.forceSuspendOnStop = 0;
    d.forceSuspendOnPlay = 0;
    d.seralizeDispatcher = 0;
    d.hasVstEntryPoint = 0;
    d.gantryServerId = -1;

    RegKey key;
    if (key.Open(g_ctx.registryRoot, ConfigSubkey(L"Defaults").c_str(), KEY_READ) != ERROR_SUCCESS) return;
    HKEY k = key.Get();
    ReadDword(k, L"registerAsPlug", &d.registerAsPlug);
    ReadDword(k, L"jBridgeLoader", &d.jBridgeLoader);
    ReadDword(k, L"registerAsTempoBasedEffect", &d.registerAsTempoBasedEffect);
    ReadDword(k, L"forceStereo", &d.forceStereo);
    ReadDword(k, L"nrpnPassThrough", &d.nrpnPassThrough);
    ReadDword(k, L"cxEditor", &d.cxEditor);
    ReadDword(k, L"cyEditor", &d.cyEditor);
    ReadDword(k, L"forceMono", &d.forceMono);
    ReadDword(k, L"forceSuspendOnPlay", &d.forceSuspendOnPlay);
    ReadDword(k, L"forceSuspendOnStop", &d.forceSuspendOnStop);
    ReadDword(k, L"seralizeDispatcher", &d.seralizeDispatcher);
}

int Initialise(HINSTANCE instance, HINSTANCE /*previous*/, const char* /*commandLine*/, int /*showCommand*/) {
    SetUiLanguage();
    StringCchCopyW(g_ctx.configKeyPath, kPathChars, kDefaultConfigKey);
    g_ctx.instance = instance;

    // The narrow command line holds "?" for every character outside the ANSI
    // code page: a child told to scan a module under such a folder would
    // never find it.
    const wchar_t* arguments = ArgumentsOf(GetCommandLineW());
    ParseCommandLine(arguments);  // the log is not open yet: its lines go nowhere
    if (InvalidArguments()) return 0;
    // A child for one plug-in sets COM up only when its log or its plug-in
    // needs it; other runs may show dialogs or start children at any point.
    if (!g_ctx.singlePluginMode) EnsureComOnThread();

    if (!g_ctx.singlePluginMode && IsAnotherScanRunning()) {
        if (!g_ctx.background) MessageBoxW(nullptr, LoadStr(IDS_SCAN_RUNNING).c_str(), nullptr, MB_OK);
        return 0;
    }
    SetGuiVisible(0);
    if (g_ctx.singlePluginMode && !g_ctx.singlePluginPath[0] && !WorkerPipe()) {
        WriteLog(L"Path for /ScanVst: flag not found!\r\n");
        return 0;
    }
    WriteProgramPath();
    ReadPreferences();
    if (g_ctx.scanInSandbox) ResetScanMetrics();

    if (g_ctx.logEnabled) {
        if (!OpenLog()) MessageBoxW(nullptr, L"QelLogger", L"Log open failure", MB_OK);
        ParseCommandLine(arguments);  // now the flag lines reach the log
        ReadPreferences();            // and so does any value stored with the wrong type
    }
    ChooseSandboxWorkers();

    ReadScanFolders();
    LoadFolderDefaults();
    return 1;
}
