#include "diag/PluginLeftovers.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <vector>

#include <tlhelp32.h>

#include "core/Win32Owners.h"
#include "diag/ScanLog.h"

namespace {

// Threads of this process that are alive, each with the number of its start.
// The loader tells us of every thread that starts or ends (SievoThreadNotice
// below), which costs nothing, where a thread snapshot took milliseconds.
SRWLOCK g_threadsLock = SRWLOCK_INIT;
std::map<DWORD, uint64_t> g_liveThreads;
uint64_t g_threadsStarted = 0;
uint64_t g_watchFrom = UINT64_MAX;  // no watch: no thread counts as new

// The notice comes only once a thread first runs, so a thread created at the
// end of a probe and not yet scheduled is missed by it. The one walk over the
// process's threads at unload finds it; it must not count against later
// probes. Threads that were never noticed and are no probe's doing (the main
// thread, any the system starts without notices) are the walk's baseline.
std::vector<DWORD> g_unnoticed;
bool g_baselineTaken = false;
std::vector<HMODULE> g_watched;

// Thread timers (no window) are known only by their messages. One that has
// just fired is not due again when its module goes, so remember every one
// seen while plug-ins ran: its id and its callback.
HHOOK g_timerHook = nullptr;
std::vector<std::pair<UINT_PTR, ULONG_PTR>> g_threadTimers;

void RememberThreadTimer(UINT_PTR id, ULONG_PTR callback) {
    std::pair<UINT_PTR, ULONG_PTR> timer(id, callback);
    if (std::find(g_threadTimers.begin(), g_threadTimers.end(), timer) == g_threadTimers.end())
        g_threadTimers.push_back(timer);
}

LRESULT CALLBACK NoteThreadTimers(int code, WPARAM removing, LPARAM message) {
    const MSG* m = reinterpret_cast<const MSG*>(message);
    if (code == HC_ACTION && m->message == WM_TIMER && !m->hwnd && m->lParam)
        RememberThreadTimer(m->wParam, static_cast<ULONG_PTR>(m->lParam));
    return CallNextHookEx(nullptr, code, removing, message);
}

// What a plug-in's own calls of SetTimer go through (see WatchSetTimer): a
// timer that has not fired yet when its module goes is known from here.
UINT_PTR WINAPI SetTimerSeen(HWND window, UINT_PTR id, UINT milliseconds, TIMERPROC callback) {
    UINT_PTR made = SetTimer(window, id, milliseconds, callback);
    if (made && !window && callback) RememberThreadTimer(made, reinterpret_cast<ULONG_PTR>(callback));
    return made;
}

// Points the module's import of SetTimer at SetTimerSeen.
void WatchSetTimer(HMODULE module) {
    auto base = reinterpret_cast<BYTE*>(module);
    auto dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    if (dos->e_magic != IMAGE_DOS_SIGNATURE) return;
    auto nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    if (nt->Signature != IMAGE_NT_SIGNATURE) return;
    const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    ULONG_PTR real = user32 ? reinterpret_cast<ULONG_PTR>(GetProcAddress(user32, "SetTimer")) : 0;
    if (!imports.VirtualAddress || !real) return;
    for (auto d = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress); d->Name; ++d) {
        if (_stricmp(reinterpret_cast<const char*>(base + d->Name), "user32.dll") != 0) continue;
        for (auto t = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->FirstThunk); t->u1.Function; ++t) {
            if (t->u1.Function != real) continue;
            DWORD old = 0;
            if (!VirtualProtect(&t->u1.Function, sizeof t->u1.Function, PAGE_READWRITE, &old)) continue;
            t->u1.Function = reinterpret_cast<ULONG_PTR>(&SetTimerSeen);
            VirtualProtect(&t->u1.Function, sizeof t->u1.Function, old, &old);
        }
    }
}

using NextThreadFn = LONG(NTAPI*)(HANDLE, HANDLE, ACCESS_MASK, ULONG, ULONG, PHANDLE);

// Walks this process's threads one handle at a time: a system-wide snapshot
// costs several milliseconds under Wine, the walk a fraction of one.
std::vector<DWORD> ThreadsOfThisProcess() {
    std::vector<DWORD> ids;
    static const auto next = reinterpret_cast<NextThreadFn>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtGetNextThread")));
    if (next) {
        HANDLE thread = nullptr;
        HANDLE following = nullptr;
        while (next(GetCurrentProcess(), thread, THREAD_QUERY_LIMITED_INFORMATION, 0, 0, &following) == 0) {
            if (thread) CloseHandle(thread);
            thread = following;
            DWORD exitCode = 0;
            if (GetExitCodeThread(thread, &exitCode) && exitCode == STILL_ACTIVE) ids.push_back(GetThreadId(thread));
        }
        if (thread) CloseHandle(thread);
        return ids;
    }
    UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    if (!snapshot.Valid()) return ids;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot.Get(), &entry); more; more = Thread32Next(snapshot.Get(), &entry))
        if (entry.th32OwnerProcessID == GetCurrentProcessId()) ids.push_back(entry.th32ThreadID);
    return ids;
}

bool Contains(const std::vector<DWORD>& ids, DWORD id) {
    return std::find(ids.begin(), ids.end(), id) != ids.end();
}

// Threads alive now that no notice has told of and that are not known
// already: created during the probe, not yet run. Charged to it from now on.
bool UnnoticedThreadAppeared() {
    std::vector<DWORD> alive = ThreadsOfThisProcess();
    AcquireSRWLockExclusive(&g_threadsLock);
    // Ended ones go, so that a later thread given the same id is not missed.
    g_unnoticed.erase(
        std::remove_if(g_unnoticed.begin(), g_unnoticed.end(), [&](DWORD id) { return !Contains(alive, id); }),
        g_unnoticed.end());
    bool found = false;
    for (DWORD id : alive) {
        if (g_liveThreads.count(id) || Contains(g_unnoticed, id)) continue;
        g_unnoticed.push_back(id);
        found = g_baselineTaken;
    }
    g_baselineTaken = true;
    ReleaseSRWLockExclusive(&g_threadsLock);
    return found;
}

bool NewThreadStillRuns() {
    bool unnoticed = UnnoticedThreadAppeared();
    AcquireSRWLockShared(&g_threadsLock);
    bool found = unnoticed;
    for (const auto& thread : g_liveThreads)
        if (thread.second > g_watchFrom) found = true;
    ReleaseSRWLockShared(&g_threadsLock);
    return found;
}

struct Range {
    ULONG_PTR begin = 0;
    ULONG_PTR end = 0;
    bool Holds(ULONG_PTR address) const { return address >= begin && address < end; }
};

Range ImageRange(HMODULE module) {
    Range r;
    auto dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(module);
    if (!module || dos->e_magic != IMAGE_DOS_SIGNATURE) return r;
    auto nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(reinterpret_cast<const BYTE*>(module) + dos->e_lfanew);
    if (nt->Signature != IMAGE_NT_SIGNATURE) return r;
    r.begin = reinterpret_cast<ULONG_PTR>(module);
    r.end = r.begin + nt->OptionalHeader.SizeOfImage;
    return r;
}

// ANSI windows answer the Unicode query with a thunk, so ask in their own kind.
LONG_PTR WindowLong(HWND window, int index) {
    return IsWindowUnicode(window) ? GetWindowLongPtrW(window, index) : GetWindowLongPtrA(window, index);
}

ULONG_PTR ClassProc(HWND window) {
    return IsWindowUnicode(window) ? GetClassLongPtrW(window, GCLP_WNDPROC) : GetClassLongPtrA(window, GCLP_WNDPROC);
}

bool IsDialog(HWND window) {
    wchar_t name[16] = {};
    return GetClassNameW(window, name, 16) && !wcscmp(name, L"#32770");
}

bool BelongsTo(HWND window, const Range& module) {
    if (module.Holds(static_cast<ULONG_PTR>(WindowLong(window, GWLP_HINSTANCE)))) return true;
    if (module.Holds(static_cast<ULONG_PTR>(WindowLong(window, GWLP_WNDPROC)))) return true;
    if (module.Holds(ClassProc(window))) return true;
    return IsDialog(window) && module.Holds(static_cast<ULONG_PTR>(WindowLong(window, DWLP_DLGPROC)));
}

BOOL CALLBACK Collect(HWND window, LPARAM list) {
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    return TRUE;
}

// Top-level, child and message-only windows of this thread.
std::vector<HWND> ThreadWindows() {
    std::vector<HWND> top;
    EnumThreadWindows(GetCurrentThreadId(), Collect, reinterpret_cast<LPARAM>(&top));
    const DWORD self = GetCurrentThreadId();
    for (HWND w = FindWindowExW(HWND_MESSAGE, nullptr, nullptr, nullptr); w;
         w = FindWindowExW(HWND_MESSAGE, w, nullptr, nullptr))
        if (GetWindowThreadProcessId(w, nullptr) == self) top.push_back(w);
    std::vector<HWND> all = top;
    for (HWND w : top) EnumChildWindows(w, Collect, reinterpret_cast<LPARAM>(&all));
    return all;
}

int DestroyWindowsOf(const Range& module) {
    std::vector<HWND> doomed;
    for (HWND w : ThreadWindows())
        if (BelongsTo(w, module)) doomed.push_back(w);
    // Destroying a parent takes its children along; skip those already gone.
    for (HWND w : doomed)
        if (IsWindow(w)) DestroyWindow(w);
    return static_cast<int>(doomed.size());
}

// Thread timers whose callback lies in the module: those due now show up
// in the queue, the others were seen firing earlier.
int StopTimersOf(const Range& module) {
    MSG msg;
    for (int i = 0; i < 1024 && PeekMessageW(&msg, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE | PM_NOYIELD); ++i) {
    }
    int stopped = 0;
    for (auto it = g_threadTimers.begin(); it != g_threadTimers.end();) {
        if (!module.Holds(it->second)) {
            ++it;
            continue;
        }
        if (KillTimer(nullptr, it->first)) ++stopped;
        it = g_threadTimers.erase(it);
    }
    return stopped;
}

// Returns the number of windows and timers removed.
int Purge(HMODULE module) {
    Range range = ImageRange(module);
    if (!range.begin) return 0;
    return DestroyWindowsOf(range) + StopTimersOf(range);
}

}  // namespace

extern "C" void NTAPI SievoThreadNotice(PVOID, DWORD reason, PVOID) {
    if (reason != DLL_THREAD_ATTACH && reason != DLL_THREAD_DETACH) return;
    const DWORD self = GetCurrentThreadId();
    AcquireSRWLockExclusive(&g_threadsLock);
    auto unnoticed = std::find(g_unnoticed.begin(), g_unnoticed.end(), self);
    if (reason == DLL_THREAD_ATTACH) {
        // A thread the walk found before it ran was charged to its own probe
        // then, not to whichever probe runs when it finally starts.
        g_liveThreads[self] = unnoticed != g_unnoticed.end() ? 0 : ++g_threadsStarted;
    } else {
        g_liveThreads.erase(self);
    }
    if (unnoticed != g_unnoticed.end()) g_unnoticed.erase(unnoticed);
    ReleaseSRWLockExclusive(&g_threadsLock);
}

void BeginProbeWatch() {
    if (!g_timerHook) g_timerHook = SetWindowsHookExW(WH_GETMESSAGE, NoteThreadTimers, nullptr, GetCurrentThreadId());
    if (!g_baselineTaken) UnnoticedThreadAppeared();
    AcquireSRWLockExclusive(&g_threadsLock);
    g_watchFrom = g_threadsStarted;
    ReleaseSRWLockExclusive(&g_threadsLock);
    g_watched.clear();
}

void WatchModule(HMODULE module) {
    if (!module) return;
    g_watched.push_back(module);
    WatchSetTimer(module);
}

void ReleasePluginModule(HMODULE module, const wchar_t* path) {
    if (!module) return;
    if (int removed = Purge(module))
        WriteLog(L"%s: %s left %d window(s) or timer(s) behind: removed\r\n", kTag, path, removed);
    g_watched.erase(std::remove(g_watched.begin(), g_watched.end(), module), g_watched.end());
    if (NewThreadStillRuns()) {
        WriteLog(L"%s: %s still runs a thread of its own: kept loaded\r\n", kTag, path);
        return;
    }
    FreeLibrary(module);
}

void PurgeWatchedModules() {
    std::vector<HMODULE> modules;
    modules.swap(g_watched);
    for (HMODULE module : modules) Purge(module);
}
