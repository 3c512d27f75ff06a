#include "inventory/KeyName.h"

#include <windows.h>
#include <strsafe.h>

#include <vector>

namespace {

// FNV-1a over the UTF-16 units: no provider to load, the same on every
// machine, and the folder's letter case (which Windows ignores) does not
// count.
uint64_t HashLowerCase(const wchar_t* path) {
    std::vector<wchar_t> lower(path, path + wcslen(path));
    if (!lower.empty()) CharLowerBuffW(lower.data(), static_cast<DWORD>(lower.size()));
    uint64_t hash = 14695981039346656037ull;
    for (wchar_t unit : lower) {
        hash = (hash ^ static_cast<uint8_t>(unit & 0xFF)) * 1099511628211ull;
        hash = (hash ^ static_cast<uint8_t>(unit >> 8)) * 1099511628211ull;
    }
    return hash;
}

}  // namespace

bool MakeInventoryKeyName(const wchar_t* path, size_t limit, wchar_t* out) {
    if (!out || limit == 0) return false;
    if (!path) path = L"";
    std::wstring name = path;
    for (wchar_t& c : name)
        if (c == L'\\') c = L'/';
    bool shortened = false;
    if (name.size() > kMaxKeyNameChars) {
        wchar_t hash[20];
        StringCchPrintfW(hash, 20, L"~%016llX", static_cast<unsigned long long>(HashLowerCase(path)));
        name.resize(kShortKeyNameChars - wcslen(hash));
        name += hash;
        shortened = true;
    }
    StringCchCopyW(out, limit, name.c_str());
    return shortened;
}

std::wstring MakeSubRecordKeyName(const std::wstring& owner, int32_t uniqueId, const wchar_t* name) {
    std::wstring member = name ? name : L"";
    // Shells list members as "Collection\Plug-in"; a backslash in a key name
    // would make a key one level deeper, which no reader of the inventory sees.
    for (wchar_t& c : member)
        if (c == L'\\') c = L'/';
    std::wstring key = owner + L"*" + std::to_wstring(uniqueId) + L" " + member;
    if (key.size() > kMaxKeyNameChars) key.resize(kMaxKeyNameChars);
    return key;
}
