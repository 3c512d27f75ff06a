#include "ui/ConfigStore.h"

#include <string>

#include "core/ScanContext.h"
#include "core/Win32Owners.h"
#include "inventory/InventoryStore.h"
#include "inventory/RegistryValues.h"
#include "inventory/TouchSweep.h"

#include <strsafe.h>  // last: it retires the unbounded string functions other headers use

namespace {

// The inventory key name of a record. A module's key is its path. A shell's
// sub-plug-in shares FullPath with its shell but has a key of its own, named
// "<shell key>*<id> <name>" by the scan; the user edits that sub-plug-in, so
// its options go to that key. The key is found by the shell key and the id,
// since the name part is the one the scan saw and the user may have renamed
// the plug-in since; with no such key yet, the record's own name completes it.
std::wstring RecordKeyName(const InventoryRecord& record) {
    wchar_t name[kPathChars] = {};
    MakeInventoryKeyName(record.FullPath, kPathChars, name);
    if (!record.isShell || record.isShellRoot) return name;

    wchar_t prefix[kPathChars + 16] = {};
    StringCchPrintfW(prefix, kPathChars + 16, L"%s*%d ", name, record.uniqueId);
    const size_t prefixChars = wcslen(prefix);
    RegKey inventory;
    if (inventory.Open(g_ctx.registryRoot, ConfigSubkey(L"Inventory").c_str(), KEY_READ) == ERROR_SUCCESS) {
        for (const std::wstring& child : SubkeyNames(inventory.Get()))
            if (_wcsnicmp(child.c_str(), prefix, prefixChars) == 0) return child;
    }
    return MakeSubRecordKeyName(name, record.uniqueId, record.FullName);
}

}  // namespace

void SaveRescanOptions() {
    RegKey key;
    if (key.Create(g_ctx.registryRoot, g_ctx.configKeyPath, KEY_ALL_ACCESS) != ERROR_SUCCESS) return;
    WriteDword(key.Get(), L"noPrefix", g_ctx.noPrefix);
    WriteDword(key.Get(), L"rescanExisting", g_ctx.rescanExisting);
    WriteDword(key.Get(), L"rescanFailed", g_ctx.rescanFailed);
}

bool AddScanFolder(const wchar_t* folder) {
    if (!g_ctx.pathsKey || !folder || !*folder) return false;
    if (RegQueryValueExW(g_ctx.pathsKey, folder, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS) return false;
    g_ctx.scanPaths.push_back(folder);
    WriteText(g_ctx.pathsKey, folder, folder);
    return true;
}

void RemoveScanFolder(size_t index) {
    if (index >= g_ctx.scanPaths.size()) return;
    if (g_ctx.pathsKey) RegDeleteValueW(g_ctx.pathsKey, g_ctx.scanPaths[index].c_str());
    g_ctx.scanPaths.erase(g_ctx.scanPaths.begin() + static_cast<std::ptrdiff_t>(index));
}

void SavePluginRecord(InventoryRecord& record) {
    std::wstring path = ConfigSubkey(L"Inventory") + L"\\" + RecordKeyName(record);
    RegKey key;
    key.Open(g_ctx.registryRoot, path.c_str(), KEY_ALL_ACCESS);  // a null key is logged by the writer
    WriteVstData(key.Get(), record, g_ctx.noPrefix, 0);
}

void SaveFolderDefaults() {
    RegKey key;
    key.Create(g_ctx.registryRoot, ConfigSubkey(L"Defaults").c_str(), KEY_ALL_ACCESS);
    WriteVstData(key.Get(), g_ctx.defaultsRecord, g_ctx.noPrefix, 0);
}

void ResetInventory() {
    ClearTouchFlags();
    g_ctx.pluginsDeleted += DeleteUntouched();
    RegKey config;
    if (config.Open(g_ctx.registryRoot, g_ctx.configKeyPath, KEY_READ) == ERROR_SUCCESS)
        RegDeleteTreeW(config.Get(), L"Inventory");
}
