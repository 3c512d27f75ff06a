#include "ui/HelpCommand.h"

#include <windows.h>
#include <strsafe.h>

#include "core/Win32Owners.h"

namespace {

typedef HWND(WINAPI* HtmlHelpWFn)(HWND, LPCWSTR, UINT, DWORD_PTR);

// HtmlHelpW is ordinal 15 of the HTML Help control, found where its class is
// registered; a failure is remembered so later calls return at once.
HtmlHelpWFn ResolveHtmlHelp() {
    static bool tried = false;
    static HtmlHelpWFn fn = nullptr;
    if (tried) return fn;
    tried = true;
    wchar_t path[MAX_PATH] = L"hhctrl.ocx";
    RegKey key;
    if (key.Open(HKEY_CLASSES_ROOT, L"CLSID\\{ADB880A6-D8FF-11CF-9377-00AA003B7A11}\\InprocServer32", KEY_READ) ==
        ERROR_SUCCESS) {
        wchar_t value[MAX_PATH] = {};
        DWORD type = 0;
        DWORD cb = sizeof value - sizeof(wchar_t);
        if (RegQueryValueExW(key.Get(), nullptr, nullptr, &type, reinterpret_cast<BYTE*>(value), &cb) ==
            ERROR_SUCCESS) {
            if (type == REG_EXPAND_SZ)
                ExpandEnvironmentStringsW(value, path, MAX_PATH);
            else if (type == REG_SZ)
                StringCchCopyW(path, MAX_PATH, value);
        }
    }
    HMODULE module = LoadLibraryW(path);
    if (!module) return nullptr;
    fn = reinterpret_cast<HtmlHelpWFn>(reinterpret_cast<void*>(GetProcAddress(module, MAKEINTRESOURCEA(15))));
    return fn;
}

}  // namespace

void ShowHelp() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, 256);
    path[255] = 0;
    if (wchar_t* slash = wcsrchr(path, L'\\')) *slash = 0;
    StringCchCatW(path, MAX_PATH, L"\\twvst.chm");
    if (HtmlHelpWFn fn = ResolveHtmlHelp()) fn(GetDesktopWindow(), path, 0 /*HH_DISPLAY_TOPIC*/, 0);
}
