#include "inventory/TouchSweep.h"

#include <objbase.h>

#include <string>
#include <vector>

#include "core/ScanContext.h"
#include "core/Win32Owners.h"
#include "diag/FailurePoint.h"
#include "diag/ScanLog.h"
#include "inventory/RegistryValues.h"
#include "inventory/TouchLedger.h"

namespace {

constexpr DWORD kKeyNameChars = 520;

bool IsShellChild(const std::wstring& name, const wchar_t* shell, size_t shellLength) {
    return name.size() > shellLength && name[shellLength] == L'*' && _wcsnicmp(name.c_str(), shell, shellLength) == 0;
}

struct SweepValues {
    DWORD touch = 0;
    DWORD isShellRoot = 0;
    DWORD isVst = 0;
    DWORD isVst3 = 0;
    GUID clsidPlug = {};
};

SweepValues ReadSweepValues(HKEY key) {
    SweepValues v;
    ReadDword(key, L"touch", &v.touch);
    ReadDword(key, L"isShellRoot", &v.isShellRoot);
    ReadDword(key, L"isVst", &v.isVst);
    ReadDword(key, L"isVst3", &v.isVst3);
    wchar_t text[128] = {};
    if (ReadText(key, L"clsidPlug", text, 128) && FAILED(CLSIDFromString(text, &v.clsidPlug))) v.clsidPlug = GUID{};
    return v;
}

}  // namespace

void ClearTouchFlags() {
    SetFunction(L"Clear Touch flag");
    SetFailurePoint(L"init");
    RegKey inventory;
    if (inventory.Open(g_ctx.registryRoot, ConfigSubkey(L"Inventory").c_str(), KEY_ALL_ACCESS) != ERROR_SUCCESS) return;
    for (const std::wstring& name : SubkeyNames(inventory.Get())) {
        RegKey record;
        if (record.Open(inventory.Get(), name.c_str(), KEY_ALL_ACCESS) == ERROR_SUCCESS)
            RegDeleteValueW(record.Get(), L"touch");
    }
}

void StartTouchMarks() {
    // A sandboxed scan's records are marked by its children, which no
    // account in this process can follow: it starts from cleared marks.
    if (g_ctx.scanInSandbox)
        ClearTouchFlags();
    else
        StartTouchLedger();
}

void ForgetUnseenMarks() {
    if (!TouchLedgerActive()) return;
    RegKey inventory;
    if (inventory.Open(g_ctx.registryRoot, ConfigSubkey(L"Inventory").c_str(), KEY_READ) == ERROR_SUCCESS) {
        for (const std::wstring& name : SubkeyNames(inventory.Get())) {
            if (SeenInThisScan(name) != TouchSeen::No) continue;
            RegKey record;
            if (record.Open(inventory.Get(), name.c_str(), KEY_SET_VALUE) == ERROR_SUCCESS)
                RegDeleteValueW(record.Get(), L"touch");
        }
    }
    EndTouchLedger();
}

// The Inventory key's subkeys are listed once and decided in enumeration
// order; deleting while enumerating would shift the indexes, and starting
// over after every deletion costs a full pass per removed record.
int DeleteUntouched() {
    SetFunction(L"Delete untouched");
    SetFailurePoint(L"init");
    WriteLog(L"%s: %s - Scanning for plugins to remove...\r\n", kTag, g_failure.function);
    bool ledger = TouchLedgerActive();
    RegKey inventory;
    if (inventory.Open(g_ctx.registryRoot, ConfigSubkey(L"Inventory").c_str(), KEY_ALL_ACCESS) != ERROR_SUCCESS) {
        EndTouchLedger();
        return 0;
    }

    std::vector<std::wstring> names = SubkeyNames(inventory.Get());
    std::vector<bool> gone(names.size(), false);
    int count = 0;
    for (size_t i = 0; i < names.size(); ++i) {
        if (gone[i]) continue;
        const std::wstring& name = names[i];
        TouchSeen seen = ledger ? SeenInThisScan(name) : TouchSeen::Stored;
        if (seen == TouchSeen::One) continue;
        SweepValues v;
        {
            RegKey record;
            if (record.Open(inventory.Get(), name.c_str(), KEY_ALL_ACCESS) != ERROR_SUCCESS) continue;
            v = ReadSweepValues(record.Get());
            // A mark this scan did not set is an old one: the record stands
            // as a cleared scan leaves it.
            if (seen == TouchSeen::No) {
                RegDeleteValueW(record.Get(), L"touch");
                v.touch = 0;
            }
        }
        if (v.touch) continue;
        if (name.find(L'*') != std::wstring::npos) continue;  // sub-plug-in keys go only with their shell
        if (v.isShellRoot) {
            for (size_t j = 0; j < names.size(); ++j) {
                if (gone[j] || !IsShellChild(names[j], name.c_str(), name.size())) continue;
                if (EliminateSubkey(inventory.Get(), names[j].c_str()) == 0) {
                    gone[j] = true;
                    ++count;
                }
            }
        }
        if (EliminateSubkey(inventory.Get(), name.c_str()) == 0) gone[i] = true;
        if (!v.isShellRoot && (v.isVst || v.isVst3) && !IsEqualGUID(v.clsidPlug, GUID{})) ++count;
    }
    inventory.Close();
    EndTouchLedger();
    if (count > 0) WriteLog(L"%s: Removed %d unavailable plugin's from VST inventory\r\n", kTag, count);
    return count;
}

int DeleteShellChildren(HKEY inventoryKey, const wchar_t* shellKeyName) {
    if (!inventoryKey || !shellKeyName) return 0;
    size_t length = wcslen(shellKeyName);
    int count = 0;
    for (const std::wstring& name : SubkeyNames(inventoryKey)) {
        if (!IsShellChild(name, shellKeyName, length)) continue;
        if (EliminateSubkey(inventoryKey, name.c_str()) == 0) ++count;
    }
    return count;
}

LONG EliminateSubkey(HKEY parent, const wchar_t* name) {
    SetFunction(L"Eliminate subkey");
    if (!name || !*name) return E_FAIL;
    RegKey key;
    LONG rc = key.Open(parent, name, MAXIMUM_ALLOWED);
    if (rc == ERROR_FILE_NOT_FOUND || rc == ERROR_INVALID_HANDLE) return 0;
    if (rc != ERROR_SUCCESS) return rc;
    for (;;) {
        wchar_t child[kKeyNameChars];
        DWORD chars = kKeyNameChars;
        rc = RegEnumKeyExW(key.Get(), 0, child, &chars, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_NO_MORE_ITEMS) break;
        if (rc != ERROR_SUCCESS) return rc;
        LONG childRc = EliminateSubkey(key.Get(), child);
        if (childRc != 0) return childRc;
    }
    key.Close();
    RegDeleteKeyW(parent, name);
    WriteLog(L"%s: Deleted registry key (%s)\r\n", kTag, name);
    return 0;
}
