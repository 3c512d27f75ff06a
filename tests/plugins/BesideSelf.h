// Files beside a test plug-in's own DLL, "<its path><suffix>": the ones a
// test lays there to choose a behaviour, and the ones the plug-in writes for
// the test to read back.
#pragma once

#include <windows.h>

#include <cstring>

namespace plugin_kit {

// The full path of this DLL followed by `suffix` (a file beside the plug-in).
inline void PathBesideSelf(const char* suffix, wchar_t* out, size_t size) {
    HMODULE self = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&PathBesideSelf), &self);
    out[0] = 0;
    GetModuleFileNameW(self, out, static_cast<DWORD>(size));
    out[size - 1] = 0;
    size_t n = wcslen(out);
    if (n + strlen(suffix) < size)
        for (size_t i = 0; i <= strlen(suffix); ++i) out[n + i] = static_cast<wchar_t>(suffix[i]);
}

inline HANDLE OpenBesideSelf(const char* suffix, DWORD access, DWORD disposition) {
    wchar_t path[MAX_PATH + 32];
    PathBesideSelf(suffix, path, MAX_PATH + 32);
    return CreateFileW(path, access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, disposition, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
}

// Appends text to the file beside the plug-in; tests read it back.
inline void AppendBesideSelf(const char* suffix, const char* text) {
    HANDLE file = OpenBesideSelf(suffix, FILE_APPEND_DATA, OPEN_ALWAYS);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, text, static_cast<DWORD>(strlen(text)), &written, nullptr);
    CloseHandle(file);
}

// The contents of "<this DLL's path><suffix>", or false when there is no such file.
inline bool ReadBesideSelf(const char* suffix, char* out, size_t size) {
    out[0] = 0;
    HANDLE file = OpenBesideSelf(suffix, GENERIC_READ, OPEN_EXISTING);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD read = 0;
    ReadFile(file, out, static_cast<DWORD>(size - 1), &read, nullptr);
    out[read] = 0;
    CloseHandle(file);
    return true;
}

}  // namespace plugin_kit
