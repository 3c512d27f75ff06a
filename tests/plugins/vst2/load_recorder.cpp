// An effect that appends one line to "<its own path>.loads" every time it is
// loaded, so a test can tell whether a scan loaded it at all.
#include "PluginKit.h"

namespace {
PluginTraits Traits() {
    PluginTraits s;
    s.name = "Load Recorder";
    s.vendor = "Tarnwell Test Labs";
    s.product = "Load Recorder";
    s.uniqueId = 0x4C4F4144;  // 'LOAD'
    return s;
}
const PluginTraits kTraits = Traits();
}  // namespace

PLUGIN_EXPORT AEffect* VSTPluginMain(audioMasterCallback) {
    return CreateEffect(kTraits);
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason != DLL_PROCESS_ATTACH) return TRUE;
    wchar_t path[MAX_PATH + 8] = {};
    GetModuleFileNameW(instance, path, MAX_PATH);
    lstrcatW(path, L".loads");
    HANDLE file = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(file, "load\n", 5, &written, nullptr);
        CloseHandle(file);
    }
    return TRUE;
}
