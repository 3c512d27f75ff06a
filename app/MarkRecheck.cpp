#include "app/MarkRecheck.h"

#include <strsafe.h>

#include "app/ProbeGuard.h"
#include "core/ScanContext.h"
#include "core/Win32Owners.h"
#include "diag/ScanLog.h"
#include "inventory/InventoryStore.h"
#include "inventory/RegistryValues.h"
#include "inventory/TouchLedger.h"

namespace {

constexpr wchar_t kProbingValue[] = L"SievoProbing";
// In a sandbox worker: the module the scan handed over last.
wchar_t g_handedOver[kFolderChars] = {};

bool ReadProbing(wchar_t (&path)[kPathChars]) {
    RegKey config;
    if (config.Open(g_ctx.registryRoot, g_ctx.configKeyPath, KEY_READ) != ERROR_SUCCESS) return false;
    return ReadText(config.Get(), kProbingValue, path, kPathChars) && path[0];
}

std::wstring RecordKeyPath(const wchar_t* path) {
    wchar_t keyName[kPathChars];
    MakeInventoryKeyName(path, kPathChars, keyName);
    return ConfigSubkey(L"Inventory") + L"\\" + keyName;
}

bool MarkedBad(const std::wstring& recordKeyPath) {
    RegKey key;
    if (key.Open(g_ctx.registryRoot, recordKeyPath.c_str(), KEY_READ) != ERROR_SUCCESS) return false;
    DWORD bad = 0;
    return ReadDword(key.Get(), L"isBad", &bad) && bad;
}

// Written twice for every module probed: opened once for the run.
HKEY ProbingKey() {
    static RegKey config;
    static bool opened = false;
    if (!opened) {
        opened = true;
        config.Open(g_ctx.registryRoot, g_ctx.configKeyPath, KEY_SET_VALUE);
    }
    return config.Get();
}

}  // namespace

void NoteProbing(const wchar_t* path) {
    if (HKEY config = ProbingKey()) WriteText(config, kProbingValue, path);
}

void NoteProbeDone() {
    if (HKEY config = ProbingKey()) RegDeleteValueW(config, kProbingValue);
}

void NoteHandedOver(const wchar_t* path) {
    StringCchCopyW(g_handedOver, ARRAYSIZE(g_handedOver), path);
}

bool SentToProbe(const wchar_t* path) {
    if (g_handedOver[0]) return _wcsicmp(g_handedOver, path) == 0;
    wchar_t probing[kPathChars];
    return ReadProbing(probing) && _wcsicmp(probing, path) == 0;
}

void RecheckUnfinishedProbe() {
    wchar_t path[kPathChars];
    if (!ReadProbing(path)) return;
    std::wstring keyPath = RecordKeyPath(path);
    if (GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES && MarkedBad(keyPath)) {
        WriteLog(L"%s: A scan ended while it probed %s: probing it again in a sandboxed child\r\n", kTag, path);
        // The value still names the module, which tells the child to probe it.
        RecheckInChild(path, keyPath);
    }
    NoteProbeDone();
}

bool RecheckInChild(const wchar_t* path, const std::wstring& recordKeyPath) {
    LeaveTouchToChild(recordKeyPath.substr(recordKeyPath.rfind(L'\\') + 1).c_str());
    InventoryRecord record;
    StringCchCopyW(record.FullPath, kPathChars, path);
    NoteProbing(path);
    RunSandboxedProbe(record);
    NoteProbeDone();
    bool cleared = !MarkedBad(recordKeyPath);
    WriteLog(cleared ? L"%s: %s scanned cleanly in the sandbox: no longer marked bad\r\n"
                     : L"%s: %s failed in the sandbox too: it stays marked bad\r\n",
             kTag, path);
    return cleared;
}
