// Probing the project's test plug-ins in the test process itself: each one
// is copied into a scratch folder under a chosen file name and handed to the
// VST 2 probe with a record made the way the analysis loop makes a new one.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "TestSupport.h"
#include "core/InventoryRecord.h"
#include "diag/FailurePoint.h"
#include "diag/FaultGuard.h"
#include "vst2/Vst2Probe.h"

namespace vst2_test {

inline std::wstring GuidText(const GUID& id) {
    wchar_t text[64] = {};
    StringFromGUID2(id, text, 64);
    return text;
}

// A new record for a module file: no flags yet, its full path, its file name
// without extension as name, the first eight characters of its short name.
inline InventoryRecord NewRecord(const std::wstring& path) {
    InventoryRecord r;
    wcsncpy(r.FullPath, path.c_str(), 259);
    std::wstring file = path.substr(path.find_last_of(L'\\') + 1);
    wcsncpy(r.FullName, file.substr(0, file.rfind(L'.')).c_str(), 259);
    wchar_t shortPath[MAX_PATH] = {};
    GetShortPathNameW(path.c_str(), shortPath, MAX_PATH);
    std::wstring shortFile = shortPath;
    shortFile = shortFile.substr(shortFile.find_last_of(L'\\') + 1);
    shortFile = shortFile.substr(0, shortFile.rfind(L'.')).substr(0, 8);
    wcsncpy(r.DosName, shortFile.c_str(), 8);
    return r;
}

struct Probed {
    std::wstring path;
    InventoryRecord record;
    std::vector<InventoryRecord> subRecords;
    DWORD count = 0;
    bool returned = false;  // false: the guard caught an exception
};

// Copies plugins\<plugin>.dll to <dir>\<fileName> and probes it under the guard.
inline Probed ProbeCopy(const sievo_test::TempDir& dir, const wchar_t* plugin, const std::wstring& fileName) {
    Probed p;
    p.path = dir.Copy(sievo_test::PluginPath(plugin), fileName);
    p.record = NewRecord(p.path);
    p.returned = RunGuarded([&] { p.count = LoadVst2Plugin(p.record, &p.subRecords, nullptr); });
    return p;
}

inline Probed ProbeCopy(const sievo_test::TempDir& dir, const wchar_t* plugin) {
    return ProbeCopy(dir, plugin, std::wstring(plugin) + L".dll");
}

// Frees a module a faulting probe left loaded, so its copy can be deleted.
inline void ReleaseLeftLoaded(const std::wstring& path) {
    if (HMODULE m = GetModuleHandleW(path.c_str())) FreeLibrary(m);
}

}  // namespace vst2_test
