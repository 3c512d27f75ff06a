#include "core/Strings.h"

#include "core/ScanContext.h"
#include "core/Win32Owners.h"

namespace {

LANGID g_language = 0;

struct LanguageName {
    const wchar_t* name;
    LANGID id;
};

constexpr LanguageName kLanguages[] = {
    {L"English", 1033},    {L"Japanese", 1041}, {L"German", 1031},  {L"French", 1036},  {L"Spanish", 3082},
    {L"Portuguese", 1046}, {L"Italian", 1040},  {L"Chinese", 2052}, {L"Russian", 1049},
};

constexpr LANGID kEnglish = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);

}  // namespace

LANGID SelectedUiLanguage() {
    return g_language;
}

void SetSelectedUiLanguage(LANGID lang) {
    g_language = lang;
}

namespace {

// The system's user-interface language when it is one of ours (any region of
// it: Austrian German gets the German dialogs), else English. Resource lookup
// does not follow the system by itself under Wine, so the choice is explicit.
LANGID SystemUiLanguage() {
    const WORD primary = PRIMARYLANGID(GetUserDefaultUILanguage());
    for (const LanguageName& lang : kLanguages)
        if (PRIMARYLANGID(lang.id) == primary) return lang.id;
    return kEnglish;
}

LANGID NamedLanguage() {
    RegKey key;
    if (key.Open(HKEY_LOCAL_MACHINE, L"Software\\Tarnwell Music Software", KEY_READ) != ERROR_SUCCESS) return 0;
    wchar_t name[32] = {};
    DWORD bytes = sizeof name;  // a longer text names no language of ours
    if (RegGetValueW(key.Get(), nullptr, L"Language", RRF_RT_REG_SZ, nullptr, name, &bytes) != ERROR_SUCCESS) return 0;
    for (const LanguageName& lang : kLanguages)
        if (_wcsicmp(name, lang.name) == 0) return lang.id;
    return 0;
}

}  // namespace

void SetUiLanguage() {
    LANGID lang = NamedLanguage();
    if (!lang) lang = SystemUiLanguage();
    SetThreadUILanguage(lang);
    g_language = lang;
}

HRSRC FindLocalizedResource(HMODULE module, LPCWSTR type, LPCWSTR name) {
    HRSRC found = nullptr;
    if (g_language) found = FindResourceExW(module, type, name, g_language);
    if (!found) found = FindResourceExW(module, type, name, kEnglish);
    if (!found) found = FindResourceW(module, name, type);
    return found;
}

std::wstring LoadStr(UINT id) {
    HMODULE module = g_ctx.instance ? g_ctx.instance : GetModuleHandleW(nullptr);
    HRSRC res = FindLocalizedResource(module, RT_STRING, MAKEINTRESOURCEW(id / 16 + 1));
    if (!res) return {};
    HGLOBAL data = LoadResource(module, res);
    const WCHAR* p = data ? static_cast<const WCHAR*>(LockResource(data)) : nullptr;
    if (!p) return {};
    DWORD size = SizeofResource(module, res) / sizeof(WCHAR);
    const WCHAR* end = p + size;
    // A string block holds 16 counted strings.
    for (UINT i = 0; i < id % 16 && p < end; ++i) p += 1 + *p;
    if (p >= end || p + 1 + *p > end) return {};
    return std::wstring(p + 1, *p);
}
