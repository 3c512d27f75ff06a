#include "discovery/ScanPaths.h"

#include <mmsystem.h>
#include <shlwapi.h>

#include "app/ScanContext.h"
#include "app/Win32Owners.h"
#include "diag/FailurePoint.h"
#include "ui/ProgressWindow.h"

namespace {

constexpr DWORD kProgressIntervalMs = 200;

class FindHandle {
public:
    explicit FindHandle(HANDLE h) : h_(h) {}
    ~FindHandle() {
        if (h_ != INVALID_HANDLE_VALUE) FindClose(h_);
    }
    FindHandle(const FindHandle&) = delete;
    FindHandle& operator=(const FindHandle&) = delete;
    HANDLE Get() const { return h_; }
    bool Valid() const { return h_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE h_;
};

// Appends folder\name for every entry matching the pattern, whatever it is.
DWORD CollectMatches(const std::wstring& folder, const wchar_t* pattern, std::vector<std::wstring>& candidates) {
    WIN32_FIND_DATAW found;
    FindHandle find(FindFirstFileW((folder + pattern).c_str(), &found));
    if (!find.Valid()) return 0;
    DWORD count = 0;
    do {
        std::wstring path = folder + L"\\" + found.cFileName;
        if (path.size() >= kFolderChars) continue;  // longer than a candidate buffer
        candidates.push_back(std::move(path));
        ++count;
    } while (FindNextFileW(find.Get(), &found));
    return count;
}

DWORD g_lastProgress = 0;
bool g_progressShown = false;

}  // namespace

DWORD GetVstPaths(std::wstring& folder, std::vector<std::wstring>& candidates, HWND progress) {
    SetFunction(L"Get VST Paths");
    SetFailurePoint(L"init");
    if (progress) SetProgressTextNow(progress, folder.c_str());
    if (!folder.empty() && folder.back() == L'\\') folder.pop_back();

    DWORD count = 0;
    {
        WIN32_FIND_DATAW found;
        FindHandle find(FindFirstFileW((folder + L"\\*").c_str(), &found));
        if (find.Valid()) {
            do {
                if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) continue;
                if (!wcscmp(found.cFileName, L".") || !wcscmp(found.cFileName, L"..")) continue;
                std::wstring sub = folder + L"\\" + found.cFileName;
                SetFunction(L"Get VST Paths (inner scan)");
                HWND pass = nullptr;
                DWORD now = timeGetTime();
                if (!g_progressShown || now - g_lastProgress >= kProgressIntervalMs) {
                    pass = progress;
                    g_lastProgress = now;
                    g_progressShown = true;
                }
                count += GetVstPaths(sub, candidates, pass);
                SetFunction(L"Get VST Paths (dir)");
            } while (FindNextFileW(find.Get(), &found));
        }
    }

    SetFunction(L"Get VST Paths");
    SetFailurePoint(L"scan dlls");
    if (!StrStrIW(folder.c_str(), L"\\vst3")) count += CollectMatches(folder, L"\\*.dll", candidates);
    SetFailurePoint(L"scan vst3s");
    count += CollectMatches(folder, L"\\*.vst3", candidates);
    SetFailurePoint(L"end scan");
    return count;
}
