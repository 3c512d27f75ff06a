// A stand-in for the maker's bridge "Gantry.dll", for the test fleet only.
// A real bridge runs a 32-bit plug-in in a server process and hands the
// scanner a proxy effect. This one serves each 32-bit DLL of the fleet by
// loading its 64-bit twin, built from the same source, from the folder
// "gantry64" beside Gantry.dll: a request for <any folder>\<name>.dll is
// served by gantry64\<name>.dll. What the scanner sees is what a real bridge
// shows it: a proxy effect (RelayedEffect), vendor and product strings ending
// in the server suffix " (0)", and for a shell the sub-plug-in that the host
// callback's audioMasterCurrentId names during the call.
#include <windows.h>
#include <shlwapi.h>
#include <strsafe.h>

#include <initializer_list>

#include "RelayedEffect.h"
#include "vst2/Vst2Abi.h"

namespace {

using EntryProc = AEffect* (*)(audioMasterCallback host);

// gantry64\<file name of `path`> beside this DLL; false when it does not fit.
bool TwinPath(const char* path, wchar_t* twin, size_t twinChars) {
    wchar_t requested[MAX_PATH] = {};
    if (!MultiByteToWideChar(CP_ACP, 0, path, -1, requested, MAX_PATH)) return false;
    HMODULE self = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCWSTR>(&TwinPath), &self))
        return false;
    wchar_t folder[MAX_PATH] = {};
    DWORD n = GetModuleFileNameW(self, folder, MAX_PATH);
    if (n == 0 || n >= MAX_PATH || !PathRemoveFileSpecW(folder)) return false;
    return SUCCEEDED(StringCchPrintfW(twin, twinChars, L"%s\\gantry64\\%s", folder, PathFindFileNameW(requested)));
}

bool FileExists(const char* path) {
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

EntryProc FindEntry(HMODULE module) {
    for (const char* name : {"VSTPluginMain", "main", "Main"})
        if (FARPROC proc = GetProcAddress(module, name))
            return reinterpret_cast<EntryProc>(reinterpret_cast<void*>(proc));
    return nullptr;
}

}  // namespace

// Each call creates a new instance. The host callback is handed to the
// plug-in as it is, so a shell reads the id the host wants created.
extern "C" __declspec(dllexport) AEffect* LoadVST32(const char* path, audioMasterCallback host) {
    if (!path || !host || !FileExists(path)) return nullptr;
    wchar_t twin[MAX_PATH] = {};
    if (!TwinPath(path, twin, MAX_PATH)) return nullptr;
    HMODULE module = LoadLibraryExW(twin, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (!module) return nullptr;
    EntryProc entry = FindEntry(module);
    AEffect* plugin = entry ? entry(host) : nullptr;
    if (!plugin || !plugin->dispatcher || plugin->magic != kEffectMagic) {
        FreeLibrary(module);
        return nullptr;
    }
    return RelayEffect(plugin, module);
}
