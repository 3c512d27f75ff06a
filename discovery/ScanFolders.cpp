#include "discovery/ScanFolders.h"

#include <windows.h>
#include <shlwapi.h>

#include <algorithm>

#include "diag/ScanLog.h"

std::wstring NormaliseScanFolder(const std::wstring& folder) {
    std::wstring path = folder;
    std::replace(path.begin(), path.end(), L'/', L'\\');
    // "x:\..." or "\\server\share\..."; "\folder" and "x:folder" depend on
    // the current drive or its folder.
    bool drive = path.size() >= 3 && iswalpha(path[0]) && path[1] == L':' && path[2] == L'\\';
    bool unc = path.size() >= 3 && path[0] == L'\\' && path[1] == L'\\' && path[2] != L'\\';
    if (!drive && !unc) return L"";

    // The system's own resolution drops "." and ".."; doubled separators
    // are collapsed here, the UNC prefix excepted.
    std::wstring collapsed = unc ? L"\\\\" : L"";
    for (size_t i = collapsed.size(); i < path.size(); ++i)
        if (path[i] != L'\\' || collapsed.empty() || collapsed.back() != L'\\') collapsed += path[i];
    DWORD needed = GetFullPathNameW(collapsed.c_str(), 0, nullptr, nullptr);
    if (needed == 0) return L"";
    std::wstring full(needed, L'\0');
    DWORD got = GetFullPathNameW(collapsed.c_str(), needed, full.data(), nullptr);
    if (got == 0 || got >= needed) return L"";
    full.resize(got);
    if (full.size() > 3 && full.back() == L'\\') full.pop_back();
    CharLowerBuffW(full.data(), static_cast<DWORD>(full.size()));
    return full;
}

void NormaliseScanFolders(std::vector<std::wstring>& folders) {
    std::vector<std::wstring> result;
    for (const std::wstring& folder : folders) {
        std::wstring full = NormaliseScanFolder(folder);
        if (full.empty()) {
            WriteLog(L"%s: Scan folder skipped, not a full path: %s\r\n", kTag, folder.c_str());
            continue;
        }
        DWORD attributes = GetFileAttributesW(full.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
            WriteLog(L"%s: Scan folder not found: %s\r\n", kTag, full.c_str());
        result.push_back(full);
    }
    folders.swap(result);
}
