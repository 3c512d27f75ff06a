#include "TestSupport.h"

#include <gtest/gtest.h>
#include <objbase.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <sstream>

#include "core/ScanContext.h"
#include "diag/ScanLog.h"

namespace sievo_test {

namespace {

std::wstring Unique() {
    static std::atomic<unsigned> counter{0};
    wchar_t text[64];
    swprintf(text, 64, L"%lu-%lu-%u", GetCurrentProcessId(), GetTickCount(), counter++);
    return text;
}

void RemoveTree(const std::wstring& path) {
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((path + L"\\*").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            if (!wcscmp(found.cFileName, L".") || !wcscmp(found.cFileName, L"..")) continue;
            std::wstring child = path + L"\\" + found.cFileName;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
                DeleteFileW(child.c_str()) || RemoveDirectoryW(child.c_str());  // the link, never what it points at
            else if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(child);
            else
                DeleteFileW(child.c_str());
        } while (FindNextFileW(find, &found));
        FindClose(find);
    }
    RemoveDirectoryW(path.c_str());
}

}  // namespace

std::string Narrow(const std::wstring& s) {
    int n = WideCharToMultiByte(CP_UTF8, 0, s.c_str(), static_cast<int>(s.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, s.c_str(), static_cast<int>(s.size()), out.data(), n, nullptr, nullptr);
    return out;
}

namespace {
std::wstring Widen(const std::string& s) {
    int n = MultiByteToWideChar(CP_UTF8, 0, s.c_str(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, s.c_str(), static_cast<int>(s.size()), out.data(), n);
    return out;
}
}  // namespace

bool MakeFolderLink(const std::wstring& link, const std::wstring& target) {
    using UnixNameProc = char*(CDECL*)(const wchar_t*);
    auto unixName = reinterpret_cast<UnixNameProc>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (!unixName) return false;
    char* linkUnix = unixName(link.c_str());
    char* targetUnix = unixName(target.c_str());
    bool made = false;
    if (linkUnix && targetUnix) {
        // Wine starts a Unix program like any other; its own link call only
        // pretends to succeed.
        std::wstring line = L"/bin/ln -s \"" + Widen(targetUnix) + L"\" \"" + Widen(linkUnix) + L"\"";
        STARTUPINFOW si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi{};
        if (CreateProcessW(L"Z:\\bin\\ln", line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
            // A Unix child reports no exit code to us: the link is the answer.
            WaitForSingleObject(pi.hProcess, 10000);
            CloseHandle(pi.hThread);
            CloseHandle(pi.hProcess);
            for (int i = 0; i < 100 && !made; ++i) {
                made = GetFileAttributesW(link.c_str()) != INVALID_FILE_ATTRIBUTES;
                if (!made) Sleep(50);
            }
        }
    }
    HeapFree(GetProcessHeap(), 0, linkUnix);
    HeapFree(GetProcessHeap(), 0, targetUnix);
    return made;
}

std::wstring BinDir() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    PathRemoveFileSpecW(path);
    return path;
}

std::wstring PluginDir() {
    std::wstring bin = BinDir();
    return bin.substr(0, bin.find_last_of(L'\\')) + L"\\plugins";
}

std::wstring PluginPath(const wchar_t* name) {
    return PluginDir() + L"\\" + name + L".dll";
}

// ---- registry ----

TestKey::TestKey() : path_(L"Software\\SievoTest\\" + Unique()) {
    HKEY key = nullptr;
    RegCreateKeyExW(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    if (key) RegCloseKey(key);
}

TestKey::~TestKey() {
    RegDeleteTreeW(HKEY_CURRENT_USER, path_.c_str());
}

void TestKey::SetText(const wchar_t* name, const std::wstring& text, const wchar_t* sub, DWORD type) const {
    RegSetKeyValueW(HKEY_CURRENT_USER, Sub(sub).c_str(), name, type, text.c_str(),
                    static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

void TestKey::AddScanPath(const std::wstring& folder) const {
    SetText(folder.c_str(), folder, L"Paths");
}

void TestKey::AddInternalPath(const std::wstring& folder) const {
    SetText(folder.c_str(), folder, L"VSTInternalPath");
}

void TestKey::SetDword(const wchar_t* name, DWORD value, const wchar_t* sub) const {
    RegSetKeyValueW(HKEY_CURRENT_USER, Sub(sub).c_str(), name, REG_DWORD, &value, sizeof value);
}

DWORD TestKey::Dword(const wchar_t* name, const wchar_t* sub) const {
    DWORD value = 0, cb = sizeof value;
    if (RegGetValueW(HKEY_CURRENT_USER, Sub(sub).c_str(), name, RRF_RT_REG_DWORD, nullptr, &value, &cb))
        return kMissing;
    return value;
}

std::wstring TestKey::Text(const wchar_t* name, const wchar_t* sub) const {
    wchar_t buffer[4096];
    DWORD cb = sizeof buffer;
    return RegGetValueW(HKEY_CURRENT_USER, Sub(sub).c_str(), name, RRF_RT_REG_SZ, nullptr, buffer, &cb) ? L"-" : buffer;
}

std::wstring TestKey::Show(const std::wstring& sub, const wchar_t* names) const {
    std::wstring shown;
    std::wistringstream list(names);
    for (std::wstring name; list >> name;) {
        DWORD number = Dword(name.c_str(), sub.c_str());
        shown += (shown.empty() ? L"" : L" ") + name + L"=" +
                 (number != kMissing ? std::to_wstring(number) : Text(name.c_str(), sub.c_str()));
    }
    return shown;
}

bool TestKey::Exists(const wchar_t* sub) const {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, Sub(sub).c_str(), 0, KEY_READ, &key)) return false;
    RegCloseKey(key);
    return true;
}

std::map<std::wstring, std::vector<BYTE>> TestKey::Values(const wchar_t* sub) const {
    std::map<std::wstring, std::vector<BYTE>> values;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, Sub(sub).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return values;
    for (DWORD i = 0;; ++i) {
        wchar_t name[520];
        DWORD chars = 520, type = 0, bytes = 8192;
        std::vector<BYTE> data(sizeof type + bytes);
        if (RegEnumValueW(key, i, name, &chars, nullptr, &type, data.data() + sizeof type, &bytes) != ERROR_SUCCESS)
            break;
        memcpy(data.data(), &type, sizeof type);
        data.resize(sizeof type + bytes);
        values[name] = data;
    }
    RegCloseKey(key);
    return values;
}

std::vector<std::wstring> TestKey::InventoryKeys() const {
    std::vector<std::wstring> names;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, Sub(L"Inventory").c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return names;
    for (DWORD i = 0;; ++i) {
        wchar_t name[520];
        DWORD chars = 520;
        if (RegEnumKeyExW(key, i, name, &chars, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        names.push_back(name);
    }
    RegCloseKey(key);
    return names;
}

std::vector<std::wstring> TestKey::RecordsOf(const std::wstring& modulePath) const {
    std::vector<std::wstring> records;
    for (const std::wstring& name : InventoryKeys()) {
        std::wstring sub = L"Inventory\\" + name;
        if (CompareStringOrdinal(Text(L"FullPath", sub.c_str()).c_str(), -1, modulePath.c_str(), -1, TRUE) ==
            CSTR_EQUAL)
            records.push_back(sub);
    }
    std::sort(records.begin(), records.end());
    return records;
}

std::wstring TestKey::RecordKey(const std::wstring& modulePath) {
    std::wstring name = modulePath;
    std::replace(name.begin(), name.end(), L'\\', L'/');
    return name;
}

// ---- files ----

TempDir::TempDir() {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    path_ = std::wstring(temp) + L"sievo-" + Unique();
    SHCreateDirectoryExW(nullptr, path_.c_str(), nullptr);
}

TempDir::~TempDir() {
    RemoveTree(path_);
}

std::wstring TempDir::Make(const std::wstring& relative) const {
    std::wstring full = path_ + L"\\" + relative;
    SHCreateDirectoryExW(nullptr, full.c_str(), nullptr);
    return full;
}

std::wstring TempDir::Copy(const std::wstring& source, const std::wstring& relative) const {
    std::wstring target = Write(relative, "");
    CopyFileW(source.c_str(), target.c_str(), FALSE);
    return target;
}

std::wstring TempDir::Write(const std::wstring& relative, const std::string& bytes) const {
    std::wstring target = path_ + L"\\" + relative;
    SHCreateDirectoryExW(nullptr, target.substr(0, target.find_last_of(L'\\')).c_str(), nullptr);
    HANDLE file = CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        CloseHandle(file);
    }
    return target;
}

std::wstring TempDir::BelowTemp() const {
    wchar_t temp[MAX_PATH] = {};
    return path_.substr(GetTempPathW(MAX_PATH, temp) - 1);
}

bool MakeNewer(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    FILETIME written{};
    bool moved = GetFileTime(file, nullptr, nullptr, &written);
    written.dwHighDateTime += 1;
    moved = moved && SetFileTime(file, nullptr, nullptr, &written);
    CloseHandle(file);
    return moved;
}

// ---- running the program ----

Sievo::Sievo(const std::wstring& args, const std::wstring& program) {
    const std::wstring exe = program.empty() ? BinDir() + L"\\Sievo.exe" : program;
    STARTUPINFOW si{};
    si.cb = sizeof si;
    // A start can fail while another program of the run still has the file
    // open (a build, a scanner of another test); try a few times.
    for (int attempt = 0; attempt < 5 && !info_.hProcess; ++attempt) {
        std::wstring line = L"\"" + exe + L"\" " + args;
        if (!CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &info_)) {
            info_ = {};
            Sleep(200);
        }
    }
}

Sievo::~Sievo() {
    if (!info_.hProcess) return;
    if (Running()) TerminateProcess(info_.hProcess, 0xDEAD);
    WaitForSingleObject(info_.hProcess, 5000);
    CloseHandle(info_.hThread);
    CloseHandle(info_.hProcess);
}

bool Sievo::Running() const {
    return info_.hProcess && WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT;
}

HWND Sievo::Wait(const std::wstring& caption, DWORD ms) const {
    for (DWORD waited = 0; waited < ms; waited += 10) {
        if (HWND window = FindProcessWindow(Pid(), caption)) return window;
        if (!Running()) return nullptr;
        Sleep(10);
    }
    return nullptr;
}

bool Sievo::WaitGone(HWND window, DWORD ms) const {
    for (DWORD waited = 0; waited < ms; waited += 10) {
        if (!IsWindow(window) || !IsWindowVisible(window)) return true;
        Sleep(10);
    }
    return false;
}

DWORD Sievo::WaitExit(DWORD ms) const {
    if (!info_.hProcess || WaitForSingleObject(info_.hProcess, ms) != WAIT_OBJECT_0) return 0xFFFFFFFF;
    DWORD code = 0xFFFFFFFF;
    GetExitCodeProcess(info_.hProcess, &code);
    return code;
}

RunResult RunSievo(const std::wstring& args, DWORD timeoutMs, const std::function<void(DWORD)>& whileRunning) {
    RunResult result;
    Sievo sievo(args);
    for (DWORD waited = 0; sievo.Pid() && (result.exitCode = sievo.WaitExit(50)) == 0xFFFFFFFF; waited += 50) {
        if ((result.timedOut = waited >= timeoutMs)) break;  // the destructor ends it
        if (whileRunning) whileRunning(sievo.Pid());
    }
    return result;
}

RunResult RunAnswering(const std::wstring& args, int button, LoadErrors* seen, DWORD timeoutMs) {
    return RunSievo(args, timeoutMs, [&](DWORD) {
        HWND dialog = FindWindowW(nullptr, kLoadErrorCaption);
        if (!dialog || ControlText(dialog, 1001).empty()) return;  // none, or not filled in yet
        if (seen) {
            seen->name = ControlText(dialog, 1001);
            seen->step = ControlText(dialog, 1002);
            ++seen->dialogs;
        }
        ClickButton(dialog, button);
        Sleep(200);
    });
}

namespace {
std::string ReadAll(const std::wstring& path) {
    std::string text;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return text;
    char chunk[65536];
    DWORD got = 0;
    while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0) text.append(chunk, got);
    CloseHandle(file);
    return text;
}
}  // namespace

RunResult RunCapture(const std::wstring& program, const std::wstring& args, std::string* out, std::string* err,
                     DWORD timeoutMs) {
    RunResult result;
    TempDir dir;  // the output goes to files: no pipe to fill up and stall the program
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    auto create = [&](const wchar_t* name) {
        return CreateFileW((dir.Path() + name).c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0,
                           nullptr);
    };
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = create(L"\\out");
    si.hStdError = create(L"\\err");
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    std::wstring exe = BinDir() + L"\\" + program;
    std::wstring line = L"\"" + exe + L"\" " + args;
    PROCESS_INFORMATION pi{};
    BOOL started = CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi);
    CloseHandle(si.hStdOutput);
    CloseHandle(si.hStdError);
    if (started) {
        if (WaitForSingleObject(pi.hProcess, timeoutMs) != WAIT_OBJECT_0) {
            result.timedOut = true;
            TerminateProcess(pi.hProcess, 0xDEAD);
            WaitForSingleObject(pi.hProcess, 5000);
        }
        GetExitCodeProcess(pi.hProcess, &result.exitCode);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
    *out += ReadAll(dir.Path() + L"\\out");
    *err += ReadAll(dir.Path() + L"\\err");
    return result;
}

// ---- logs ----

std::wstring MainLogPath() {
    wchar_t appData[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, appData);
    return std::wstring(appData) + L"\\Tarnwell\\Logs\\Sievo.log";
}
std::wstring SandboxLogPath() {
    std::wstring path = MainLogPath();
    return path.insert(path.size() - 4, L"Sandbox");
}

void DeleteLogs() {
    DeleteFileW(MainLogPath().c_str());
    DeleteFileW(SandboxLogPath().c_str());
}

std::vector<std::wstring> ReadLogLines(const std::wstring& path) {
    std::vector<std::wstring> lines;
    std::istringstream text(ReadAll(path));
    for (std::string line; std::getline(text, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(Widen(line));
    }
    return lines;
}

bool Contains(const std::vector<std::wstring>& lines, const std::wstring& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

int IndexOf(const std::vector<std::wstring>& lines, const std::wstring& line, int from) {
    for (size_t i = static_cast<size_t>(from < 0 ? 0 : from); i < lines.size(); ++i)
        if (lines[i] == line) return static_cast<int>(i);
    return -1;
}

// ---- windows ----

HWND FindProcessWindow(DWORD pid, const std::wstring& caption) {
    for (HWND window = nullptr; (window = FindWindowExW(nullptr, window, nullptr, caption.c_str()));) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == pid && IsWindowVisible(window)) return window;
    }
    return nullptr;
}

void ClickButton(HWND dialog, int id) {
    if (HWND button = GetDlgItem(dialog, id)) PostMessageW(button, BM_CLICK, 0, 0);
}

std::wstring ControlText(HWND dialog, int id) {
    wchar_t text[2048] = {};
    SendDlgItemMessageW(dialog, id, WM_GETTEXT, 2048, reinterpret_cast<LPARAM>(text));
    return text;
}

std::wstring GuidText(const GUID& id) {
    wchar_t text[40] = {};
    StringFromGUID2(id, text, 40);
    return text;
}

namespace {
class ScanLogEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        CoInitialize(nullptr);
        DeleteLogs();
        g_ctx.logEnabled = 1;
        OpenLog();
    }
    void TearDown() override { CloseLog(); }
};
}  // namespace

bool KeepScanLogOpen() {
    ::testing::AddGlobalTestEnvironment(new ScanLogEnvironment);
    return true;
}

LogWatch::LogWatch() : start_(ReadLogLines(g_ctx.logPath).size()) {}

std::vector<std::wstring> LogWatch::NewLines() const {
    std::vector<std::wstring> all = ReadLogLines(g_ctx.logPath);
    return std::vector<std::wstring>(all.begin() + static_cast<std::ptrdiff_t>(std::min(start_, all.size())),
                                     all.end());
}

}  // namespace sievo_test
