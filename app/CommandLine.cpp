#include "app/CommandLine.h"

#include <objbase.h>
#include <strsafe.h>

#include <cwchar>

#include "core/ScanContext.h"
#include "diag/ScanLog.h"

namespace {

bool g_invalidArguments = false;
HANDLE g_workerPipe = nullptr;

bool MatchExact(const std::wstring& token, const wchar_t* flag) {
    return _wcsicmp(token.c_str(), flag) == 0;
}

// Prefix match; on success *arg points at the rest of the token.
bool MatchPrefix(const std::wstring& token, const wchar_t* flag, const wchar_t** arg) {
    size_t n = wcslen(flag);
    if (_wcsnicmp(token.c_str(), flag, n) != 0) return false;
    *arg = token.c_str() + (token.size() >= n ? n : token.size());
    return true;
}

void ParseGuid(const wchar_t* text, GUID* out) {
    // CLSIDFromString wants a writable, terminated copy of exactly the id.
    wchar_t copy[kFolderChars];
    StringCchCopyW(copy, kFolderChars, text);
    if (FAILED(CLSIDFromString(copy, out))) *out = GUID{};
}

void TakeScanVst(const wchar_t* arg) {
    g_ctx.singlePluginMode = 1;
    g_ctx.scanInSandbox = 0;
    std::wstring path = arg;
    size_t quote = path.find(L'"');
    if (quote != std::wstring::npos) {
        std::wstring rest;
        for (size_t i = quote; i < path.size(); ++i)
            if (path[i] != L'"') rest += path[i];
        path = path.substr(0, quote) + rest;
    }
    SetSinglePluginPath(path.c_str());
}

// A quoted key path keeps only its first run of characters without quotes.
void UnquoteConfigKey() {
    const wchar_t* p = g_ctx.configKeyPath;
    while (*p == L'"') ++p;
    if (!*p) return;
    std::wstring key(p, wcscspn(p, L"\""));
    StringCchCopyW(g_ctx.configKeyPath, kPathChars, key.c_str());
}

}  // namespace

void SetSinglePluginPath(const wchar_t* path) {
    StringCchCopyW(g_ctx.singlePluginPath, ARRAYSIZE(g_ctx.singlePluginPath), path);
    WriteLog(L"VST to scan - %s\r\n", g_ctx.singlePluginPath);
    wchar_t longPath[ARRAYSIZE(g_ctx.singlePluginPath)];
    DWORD n = GetLongPathNameW(g_ctx.singlePluginPath, longPath, ARRAYSIZE(longPath));
    if (n > 0 && n < ARRAYSIZE(longPath)) StringCchCopyW(g_ctx.singlePluginPath, ARRAYSIZE(longPath), longPath);
}

std::vector<std::wstring> TokenizeCommandLine(const wchar_t* text) {
    std::vector<std::wstring> tokens;
    std::wstring current;
    for (const wchar_t* p = text; p && *p; ++p) {
        if (*p == L'/') {
            if (!current.empty()) tokens.push_back(current);
            current.clear();
        } else {
            current += *p;
        }
    }
    if (!current.empty()) tokens.push_back(current);
    return tokens;
}

const wchar_t* ArgumentsOf(const wchar_t* fullCommandLine) {
    const wchar_t* p = fullCommandLine ? fullCommandLine : L"";
    // The program name, quoted or up to the first blank, as the system's
    // narrow entry argument leaves it out.
    if (*p == L'"') {
        ++p;
        while (*p && *p != L'"') ++p;
        if (*p) ++p;
    } else {
        while (*p && *p != L' ' && *p != L'\t') ++p;
    }
    while (*p == L' ' || *p == L'\t') ++p;
    return p;
}

bool InvalidArguments() {
    return g_invalidArguments;
}

HANDLE WorkerPipe() {
    return g_workerPipe;
}

void ParseCommandLine(const wchar_t* arguments) {
    wchar_t work[kCommandLineChars];
    StringCchCopyW(work, kCommandLineChars, arguments ? arguments : L"");  // cuts an over-long line
    StringCchCopyW(g_ctx.commandLine, kCommandLineChars, work);
    WriteLog(L"Command line: %s\r\n", g_ctx.commandLine);

    bool sawRegKey = false;
    for (const std::wstring& token : TokenizeCommandLine(work)) {
        WriteLog(L"Flag: %s\r\n", token.c_str());
        const wchar_t* arg = nullptr;
        if (MatchPrefix(token, L"VstProps:", &arg)) {
            g_ctx.showPluginProps = 1;
            g_ctx.uiOnly = 1;
            ParseGuid(arg, &g_ctx.propsPluginClsid);
        } else if (MatchExact(token, L"ScanProps")) {
            g_ctx.showPathsDialog = 1;
            g_ctx.uiOnly = 1;
        } else if (MatchExact(token, L"FolderDefaults")) {
            g_ctx.showFolderDefaults = 1;
            g_ctx.uiOnly = 1;
        } else if (MatchExact(token, L"DoReset")) {
            g_ctx.resetRequested = 1;
            g_ctx.uiOnly = 1;
        } else if (MatchPrefix(token, L"ToastGuid:", &arg)) {
            ParseGuid(arg, &g_ctx.toastGuid);
        } else if (MatchPrefix(token, L"ScanVst:", &arg)) {
            TakeScanVst(arg);
        } else if (MatchPrefix(token, L"ScanWorker:", &arg)) {
            // A worker is a single-plug-in run for one module after another,
            // each read from the pipe whose inherited handle this names.
            g_ctx.singlePluginMode = 1;
            g_ctx.scanInSandbox = 0;
            g_workerPipe = reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(wcstoull(arg, nullptr, 10)));
        } else if (MatchPrefix(token, L"VSTRegKey:", &arg)) {
            StringCchCopyW(g_ctx.configKeyPath, kPathChars, arg);
            sawRegKey = true;
        } else if (MatchExact(token, L"VSTRegPerUser")) {
            g_ctx.registryRoot = HKEY_CURRENT_USER;
        } else if (MatchExact(token, L"Log")) {
            g_ctx.logEnabled = 1;
        } else if (MatchPrefix(token, L"ZENTAPID:", &arg)) {
            long pid = _wtol(arg);
            if (pid != 0) g_ctx.hostProcessId = static_cast<DWORD>(pid);
        } else if (MatchPrefix(token, L"ZENTAHWND:", &arg)) {
            // Hosts pass the handle as a signed 32-bit decimal.
            long hwnd = _wtol(arg);
            if (hwnd != 0) g_ctx.hostWindow = reinterpret_cast<HWND>(static_cast<LONG_PTR>(hwnd));
        } else if (MatchPrefix(token, L"Background", &arg)) {
            g_ctx.background = 1;
        } else if (MatchPrefix(token, L"NoRescanning", &arg)) {
            g_ctx.noRescanning = 1;
        }
    }
    if (sawRegKey) UnquoteConfigKey();
    // An empty key would put the program's values into the root of the hive.
    if (sawRegKey && (!g_ctx.configKeyPath[0] || g_ctx.configKeyPath[0] == L'"')) {
        WriteLog(L"/VSTRegKey: names no key\r\n");
        g_invalidArguments = true;
    }
}
