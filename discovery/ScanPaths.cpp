#include "discovery/ScanPaths.h"

#include <mmsystem.h>
#include <shlwapi.h>

#include "core/ScanContext.h"
#include "core/StatusLine.h"
#include "core/Win32Owners.h"
#include "diag/FailurePoint.h"
#include "diag/ScanLog.h"

#include <set>
#include <tuple>

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

// A folder as the file system knows it, whatever path led to it: a link or
// junction back to a parent would otherwise be walked again under an ever
// longer path, and every module below it met again and again.
struct FolderId {
    DWORD volume;
    DWORD indexHigh;
    DWORD indexLow;
    bool operator<(const FolderId& o) const {
        return std::tie(volume, indexHigh, indexLow) < std::tie(o.volume, o.indexHigh, o.indexLow);
    }
};

bool IdentifyFolder(const std::wstring& folder, FolderId* id) {
    UniqueHandle handle(CreateFileW(folder.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!handle.Valid()) return false;
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(handle.Get(), &info)) return false;
    *id = FolderId{info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
    return true;
}

DWORD Walk(std::wstring& folder, std::vector<std::wstring>& candidates, HWND progress, std::set<FolderId>& walked);

}  // namespace

DWORD GetVstPaths(std::wstring& folder, std::vector<std::wstring>& candidates, HWND progress) {
    std::set<FolderId> walked;
    FolderId id{};
    if (IdentifyFolder(folder, &id)) walked.insert(id);
    return Walk(folder, candidates, progress, walked);
}

namespace {

DWORD Walk(std::wstring& folder, std::vector<std::wstring>& candidates, HWND progress, std::set<FolderId>& walked) {
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
                FolderId id{};
                if (IdentifyFolder(sub, &id) && !walked.insert(id).second) {
                    WriteLog(L"%s: Folder skipped, already walked under another path: %s\r\n", kTag, sub.c_str());
                    continue;
                }
                SetFunction(L"Get VST Paths (inner scan)");
                HWND pass = nullptr;
                DWORD now = timeGetTime();
                if (!g_progressShown || now - g_lastProgress >= kProgressIntervalMs) {
                    pass = progress;
                    g_lastProgress = now;
                    g_progressShown = true;
                }
                count += Walk(sub, candidates, pass, walked);
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

}  // namespace
