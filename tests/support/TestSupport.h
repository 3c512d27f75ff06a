// What the tests need to drive the real program: where the build put things,
// a private registry key per test, scratch folders, running Sievo.exe with an
// exact command line, reading its log, and answering its dialogs.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace sievo_test {

// build/bin (Sievo.exe and the test programs) and build/plugins.
std::wstring BinDir();
std::wstring PluginDir();
std::wstring PluginPath(const wchar_t* name);  // PluginDir()\name.dll

// A configuration key of its own under HKCU\Software\SievoTest, deleted at
// the end. Args() gives the flags that point Sievo at it.
class TestKey {
public:
    TestKey();
    ~TestKey();
    TestKey(const TestKey&) = delete;
    TestKey& operator=(const TestKey&) = delete;

    const std::wstring& Path() const { return path_; }  // Software\SievoTest\<unique>
    std::wstring Sub(const wchar_t* sub) const { return sub ? path_ + L"\\" + sub : path_; }
    std::wstring Args() const { return L"/VSTRegPerUser/VSTRegKey:\"" + path_ + L"\""; }

    void AddScanPath(const std::wstring& folder) const;
    void AddInternalPath(const std::wstring& folder) const;
    void SetDword(const wchar_t* name, DWORD value, const wchar_t* sub = nullptr) const;
    // REG_SZ unless told (REG_EXPAND_SZ for "%TEMP%\\...").
    void SetText(const wchar_t* name, const std::wstring& text, const wchar_t* sub = nullptr,
                 DWORD type = REG_SZ) const;
    // kMissing / "-" when the value is not there.
    static constexpr DWORD kMissing = 0xFFFFFFFE;
    DWORD Dword(const wchar_t* name, const wchar_t* sub = nullptr) const;
    std::wstring Text(const wchar_t* name, const wchar_t* sub = nullptr) const;
    // "isBad=0 FullName=Echo Chamber" for names "isBad FullName" ("-" when missing).
    std::wstring Show(const std::wstring& sub, const wchar_t* names) const;
    bool Exists(const wchar_t* sub = nullptr) const;
    // The last scan's metrics beside the inventory, as Show() gives them.
    std::wstring Counters() const { return Show(L"Inventory", L"PluginsFound PluginsScanned PluginsDeleted"); }
    // Every value of a key by name: its type followed by its bytes.
    std::map<std::wstring, std::vector<BYTE>> Values(const wchar_t* sub) const;
    // Subkey names of Inventory, in enumeration order.
    std::vector<std::wstring> InventoryKeys() const;
    // Every record ("Inventory\\<key>") whose "FullPath" is the module's in any
    // letter case (a shell's members share it), in key order.
    std::vector<std::wstring> RecordsOf(const std::wstring& modulePath) const;
    // Record key name of a module path (slashes for backslashes), and "Inventory\\<name>".
    static std::wstring RecordKey(const std::wstring& modulePath);
    static std::wstring Record(const std::wstring& modulePath) { return L"Inventory\\" + RecordKey(modulePath); }

private:
    std::wstring path_;
};

// A scratch folder under %TEMP%, removed with everything in it at the end.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::wstring& Path() const { return path_; }
    // Each makes the folders on the way and returns the full path.
    std::wstring Make(const std::wstring& relative) const;
    std::wstring Copy(const std::wstring& source, const std::wstring& relative) const;
    std::wstring Write(const std::wstring& relative, const std::string& bytes) const;
    // The path below %TEMP%, from its leading backslash on ("%TEMP%" + it is Path()).
    std::wstring BelowTemp() const;

private:
    std::wstring path_;
};

struct RunResult {
    DWORD exitCode = 0xFFFFFFFF;
    bool timedOut = false;
};

// A running Sievo.exe, started with exactly this text after its name, and
// ended when the test lets go of it.
class Sievo {
public:
    static constexpr DWORD kStepMs = 20000;
    // `exe` empty: the build's Sievo.exe; else a copy of it elsewhere.
    explicit Sievo(const std::wstring& args, const std::wstring& exe = L"");
    ~Sievo();
    Sievo(const Sievo&) = delete;
    Sievo& operator=(const Sievo&) = delete;

    DWORD Pid() const { return info_.dwProcessId; }
    bool Running() const;
    // The visible top-level window with this caption, or null after the time limit.
    HWND Wait(const std::wstring& caption, DWORD ms = kStepMs) const;
    // Waits until the window is gone (closed or hidden).
    bool WaitGone(HWND window, DWORD ms = kStepMs) const;
    // Exit code, or 0xFFFFFFFF when the process is still running after `ms`.
    DWORD WaitExit(DWORD ms = kStepMs) const;

private:
    PROCESS_INFORMATION info_{};
};

// Runs Sievo.exe to its end. While it runs, `whileRunning` is called every
// 50 ms with the process id (to answer dialogs).
RunResult RunSievo(const std::wstring& args, DWORD timeoutMs = 60000,
                   const std::function<void(DWORD pid)>& whileRunning = nullptr);

// The load-error dialog (a plug-in faulted while it was probed), and what
// the dialogs of one run showed.
constexpr wchar_t kLoadErrorCaption[] = L"Tarnwell VST Scan: VST Plug-in Load Error";
constexpr int kEnablePlugin = 64;  // "Enable Plug-in (Risky)"
constexpr int kDisablePlugin = 2;  // "Disable Plug-in"
struct LoadErrors {
    int dialogs = 0;
    std::wstring name;  // the plug-in the last one named
    std::wstring step;  // and the step it named
};
// Runs Sievo.exe to its end and answers every load-error dialog with `button`,
// a sandboxed child's too (the end-to-end tests run one at a time).
RunResult RunAnswering(const std::wstring& args, int button, LoadErrors* seen = nullptr, DWORD timeoutMs = 120000);

// Runs a program of build/bin and collects its standard output and error.
RunResult RunCapture(const std::wstring& program, const std::wstring& args, std::string* out, std::string* err,
                     DWORD timeoutMs = 60000);

// The two log files in the application-data log folder.
std::wstring MainLogPath();
std::wstring SandboxLogPath();
void DeleteLogs();
// Lines of a UTF-8 log, without their line ends.
std::vector<std::wstring> ReadLogLines(const std::wstring& path);
bool Contains(const std::vector<std::wstring>& lines, const std::wstring& line);
int IndexOf(const std::vector<std::wstring>& lines, const std::wstring& line, int from = 0);

// A visible top-level window of the process whose caption matches, or null.
HWND FindProcessWindow(DWORD pid, const std::wstring& caption);
// Clicks a button of a dialog the way a user would (BM_CLICK).
void ClickButton(HWND dialog, int id);
std::wstring ControlText(HWND dialog, int id);

// A symbolic link to a folder, made the way a user's tools make one. Under Wine only.
bool MakeFolderLink(const std::wstring& link, const std::wstring& target);

// Moves a file's last-write time on, as an update of it would.
bool MakeNewer(const std::wstring& path);

std::string Narrow(const std::wstring& s);
std::wstring GuidText(const GUID& id);  // "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}"

// For tests that call the probes in their own process: the scan log opened
// once for the whole test program, as a scan keeps it open. Call at namespace scope.
bool KeepScanLogOpen();
// The scan log's lines written since the watch was made.
class LogWatch {
public:
    LogWatch();
    std::vector<std::wstring> NewLines() const;

private:
    size_t start_;
};

}  // namespace sievo_test
