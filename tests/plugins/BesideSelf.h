// Files beside a test plug-in's own DLL, "<its path><suffix>": the ones a
// test lays there to choose a behaviour, and the ones the plug-in writes for
// the test to read back. Wide paths: tests lay plug-ins in Unicode folders.
#pragma once

#include <windows.h>

#include <cstdio>
#include <string>

// The linker's name for the image this code is part of: the plug-in's own DLL.
extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace plugin_kit {

inline FILE* OpenBesideSelf(const char* suffix, const wchar_t* mode) {
    wchar_t path[MAX_PATH + 32] = {};
    GetModuleFileNameW(reinterpret_cast<HMODULE>(&__ImageBase), path, MAX_PATH);
    std::wstring full = path;
    for (const char* c = suffix; *c; ++c) full += static_cast<wchar_t>(*c);
    return _wfopen(full.c_str(), mode);
}

// Appends text to the file beside the plug-in; tests read it back.
inline void AppendBesideSelf(const char* suffix, const char* text) {
    if (FILE* file = OpenBesideSelf(suffix, L"ab")) {
        fputs(text, file);
        fclose(file);
    }
}

// The contents of "<this DLL's path><suffix>", or false when there is no such file.
inline bool ReadBesideSelf(const char* suffix, char* out, size_t size) {
    out[0] = 0;
    FILE* file = OpenBesideSelf(suffix, L"rb");
    if (!file) return false;
    out[fread(out, 1, size - 1, file)] = 0;
    fclose(file);
    return true;
}

}  // namespace plugin_kit
