// Start-up of the real program and the settings it reads as users and tools
// leave them: flags, preferences, folder lists and the files they yield, the
// single-instance guard and the early exits, observed through the registry
// and the scan log.
#include <gtest/gtest.h>

#include "TestSupport.h"

using namespace sievo_test;

namespace {

constexpr wchar_t kOpened[] = L"Opened Log File -----------------------------";
constexpr wchar_t kListing[] = L"-------- VST scan path's --------";

// A logged run to its end; its log.
std::vector<std::wstring> Scan(const TestKey& key, const std::wstring& flags = L"/Log") {
    DeleteLogs();
    EXPECT_EQ(RunSievo(key.Args() + flags).exitCode, 0u);
    return ReadLogLines(MainLogPath());
}

// Sandboxing is read only in background mode; when it is on, start-up resets
// the stored scan counters. That makes the background flag observable. A
// flag counts with no blank after it or as the last one; a log preference
// of the wrong type (an 8-byte number, a text) is no preference. Without
// folders the run ends after one line, in background mode too, where the
// paths dialog could not add one and would keep every later scan out.
TEST(Startup, FlagsTheLogPreferenceAndNoFolders) {
    enum Pref { None, LogOn, LogQword, LogText };
    const struct {
        const wchar_t* flags;
        Pref pref;
        bool countersReset;
        const wchar_t* logged;  // a line of the main log; null: no log at all
    } cases[] = {
        {L"/Background/Log", None, true, L"Flag: Background"},
        {L"/Background /Log", None, true, L"Flag: Background "},
        {L"/Log /Background", None, true, nullptr},
        {L"/Log", None, false, L"Flag: Log"},
        {L"/ScanProps/Background/Log", None, true, L"Flag: Log"},
        {L"", LogOn, false, kOpened},
        {L"", LogQword, false, nullptr},
        {L"", LogText, false, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Narrow(c.flags) + " pref " + std::to_string(c.pref));
        TestKey key;
        DeleteLogs();
        key.SetDword(L"scanInSandbox", 1);
        key.SetDword(L"PluginsFound", 77, L"Inventory");
        const ULONGLONG one = 1;
        if (c.pref == LogOn) key.SetDword(L"generateScanLog", 1);
        if (c.pref == LogQword)
            RegSetKeyValueW(HKEY_CURRENT_USER, key.Path().c_str(), L"generateScanLog", REG_QWORD, &one, sizeof one);
        if (c.pref == LogText) key.SetText(L"generateScanLog", L"1");
        RunResult r = RunSievo(key.Args() + c.flags, 20000);
        ASSERT_FALSE(r.timedOut);
        EXPECT_EQ(r.exitCode, 0u);
        EXPECT_EQ(key.Dword(L"PluginsFound", L"Inventory"), c.countersReset ? 0u : 77u);
        // The quoted key path is unquoted, and gets the program's path.
        EXPECT_EQ(_wcsicmp(key.Text(L"SievoPath").c_str(), (BinDir() + L"\\Sievo.exe").c_str()), 0);
        auto lines = ReadLogLines(MainLogPath());
        EXPECT_EQ(lines.empty(), !c.logged);
        if (!c.logged || lines.empty()) continue;
        EXPECT_EQ(lines[0], kOpened);
        EXPECT_TRUE(Contains(lines, c.logged));
        EXPECT_EQ(lines.back(), L"No VST Scan paths were found in the registry. Now exiting Sievo!");
        EXPECT_FALSE(Contains(lines, kListing));
    }
}

TEST(Startup, FolderListsAreLowerCaseSortedAndInternalFirst) {
    TestKey key;
    TempDir dir;
    std::wstring a = dir.Make(L"Alpha");
    std::wstring b = dir.Make(L"beta");
    key.AddScanPath(b);
    key.AddScanPath(L"C:\\Plug-Ins\\ZETA\\");  // missing folder: listed, yields nothing
    key.AddScanPath(L"c:\\plug-ins\\zeta");    // the same folder again
    key.AddScanPath(L"D:\\");
    key.AddInternalPath(a + L"\\");
    key.AddInternalPath(b);  // in both groups: stands twice
    auto lines = Scan(key);
    int start = IndexOf(lines, kListing);
    ASSERT_GE(start, 0);
    ASSERT_GE(lines.size(), static_cast<size_t>(start) + 7);
    std::vector<std::wstring> listed(lines.begin() + start + 1, lines.begin() + start + 6);
    // The walk strips a trailing backslash in place before the listing is
    // written, so the drive root kept by the folder list shows without it.
    std::vector<std::wstring> expected = {a, b, b, L"c:\\plug-ins\\zeta", L"d:"};
    for (std::wstring& s : expected) CharLowerBuffW(s.data(), static_cast<DWORD>(s.size()));
    std::sort(expected.begin() + 2, expected.end());
    EXPECT_EQ(listed, expected);
    EXPECT_EQ(lines[start + 6], L"-----------------------------");
}

// Run by hand the user is told; run by the host the second scan leaves
// quietly, touching nothing.
TEST(Startup, SecondInstance) {
    TestKey key;
    HANDLE mutex = CreateMutexW(nullptr, FALSE, L"Tarnwell Sievo.exe");
    ASSERT_NE(mutex, nullptr);
    for (bool background : {false, true}) {
        SCOPED_TRACE(background);
        std::wstring shown;
        RunResult r = RunSievo(key.Args() + (background ? L"/Background/Log" : L""), 20000, [&](DWORD pid) {
            if (HWND box = FindProcessWindow(pid, L"Error")) {
                shown = ControlText(box, 0xFFFF);
                ClickButton(box, IDOK);
            }
        });
        EXPECT_FALSE(r.timedOut);
        EXPECT_EQ(r.exitCode, 0u);
        EXPECT_EQ(shown, background ? L""
                                    : L"A VST scan is already running.\r\nPlease wait for it to complete before "
                                      L"starting another scan.");
        EXPECT_EQ(key.Dword(L"SievoGUIVisible"), TestKey::kMissing);
    }
    CloseHandle(mutex);
}

// A single plug-in's path ends at the next flag's slash. An over-long
// command line is cut, not overrun.
TEST(Startup, SinglePluginPathAndOverLongCommandLine) {
    TestKey key;
    DeleteLogs();
    ASSERT_EQ(RunSievo(key.Args() + L"/Log/ScanVst:C:\\plugs/x.dll").exitCode, 0u);
    EXPECT_TRUE(Contains(ReadLogLines(SandboxLogPath()), L"VST to scan - C:\\plugs"));
    auto lines = Scan(key, L"/Log/" + std::wstring(3000, L'x'));
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[1].size(), 1023u) << "the command-line line is cut at 1023 characters";
    EXPECT_EQ(lines[1].rfind(L"Command line: ", 0), 0u);
}

struct Listed {
    const wchar_t* root;
    std::vector<const wchar_t*> files;     // below the root
    std::vector<const wchar_t*> expected;  // the listing, below the root
    bool twice;                            // the root is an internal folder too, and a missing folder is listed
};

TEST(ScanSettings, CandidatesAreListedSubfoldersFirstThenDllsThenVst3) {
    const Listed cases[] = {
        {L"plugins",
         {L"a.dll", L"sub\\b.dll", L"sub\\c.vst3", L"notes.txt"},
         {L"sub\\b.dll", L"sub\\c.vst3", L"a.dll"},
         false},
        // VST 3 folders contribute no DLLs at any depth.
        {L"Common\\VST3", {L"helper.dll", L"deep\\inner.dll", L"deep\\Reverb.vst3"}, {L"deep\\Reverb.vst3"}, false},
        // A bundle folder and its module are both candidates.
        {L"bundles",
         {L"Synth.vst3\\Contents\\x86_64-win\\Synth.vst3"},
         {L"Synth.vst3\\Contents\\x86_64-win\\Synth.vst3", L"Synth.vst3"},
         false},
        // Taken as they come.
        {L"twice", {L"one.dll"}, {L"one.dll", L"one.dll"}, true},
    };
    for (const Listed& c : cases) {
        SCOPED_TRACE(Narrow(c.root));
        TestKey key;
        TempDir dir;
        std::wstring root = dir.Make(c.root);
        for (const wchar_t* file : c.files) dir.Write(std::wstring(c.root) + L"\\" + file, "x");
        key.AddScanPath(root);
        if (c.twice) {
            key.AddInternalPath(root);
            key.AddScanPath(dir.Path() + L"\\does-not-exist");
        }
        auto lines = Scan(key);
        CharLowerBuffW(root.data(), static_cast<DWORD>(root.size()));  // scan folders are kept in lower case
        const size_t n = c.expected.size();
        const int at = IndexOf(lines, L"------- " + std::to_wstring(n) + L" DLL's found -------");
        ASSERT_GE(at, 0);
        for (size_t k = 0; k <= n; ++k)  // numbered from 1, then the closing line
            EXPECT_EQ(lines.at(at + 1 + k), k < n ? std::to_wstring(k + 1) + L": " + root + L"\\" + c.expected[k]
                                                  : L"-----------------------------");
    }
}

TEST(ScanSettings, AnEmptyConfigurationKeyIsRefusedAndNothingWritten) {
    RegDeleteKeyValueW(HKEY_CURRENT_USER, nullptr, L"SievoPath");
    RegDeleteKeyValueW(HKEY_CURRENT_USER, nullptr, L"SievoGUIVisible");
    for (const wchar_t* args : {L"/VSTRegPerUser/VSTRegKey:/Log", L"/VSTRegPerUser/VSTRegKey:\"\"/Background"}) {
        RunResult r = RunSievo(args, 60000);
        ASSERT_FALSE(r.timedOut) << Narrow(args);
        EXPECT_EQ(r.exitCode, 87u) << Narrow(args);
        for (const wchar_t* name : {L"SievoPath", L"SievoGUIVisible"})
            EXPECT_EQ(RegGetValueW(HKEY_CURRENT_USER, nullptr, name, RRF_RT_ANY, nullptr, nullptr, nullptr),
                      ERROR_FILE_NOT_FOUND)
                << Narrow(args);
    }
}

// Scan folders written with variables, doubled separators, "..", relative
// names or folders that are gone; then flags stored as text, which keep their
// defaults.
TEST(ScanSettings, FoldersAndFlagsAsUsersWriteThem) {
    TestKey key;
    TempDir dir;
    std::wstring expanded = dir.Copy(PluginPath(L"effect_with_editor"), L"expanded\\Echo.dll");
    std::wstring doubled = dir.Copy(PluginPath(L"no_editor_7_params"), L"doubled\\fx\\Seven.dll");
    std::wstring dotted = dir.Copy(PluginPath(L"no_editor_50_params"), L"dotted\\Fifty.dll");
    key.SetText(L"expanded", L"%TEMP%" + dir.BelowTemp() + L"\\expanded", L"Paths", REG_EXPAND_SZ);
    key.AddScanPath(dir.Path() + L"\\doubled\\\\fx\\");
    key.AddScanPath(dir.Path() + L"\\doubled\\fx");
    key.AddScanPath(dir.Path() + L"/x/../dotted/.");
    key.AddScanPath(L"plugins");
    key.AddScanPath(dir.Path() + L"\\gone");
    auto log = Scan(key);
    for (const std::wstring& module : {expanded, doubled, dotted}) {
        std::vector<std::wstring> records = key.RecordsOf(module);
        ASSERT_EQ(records.size(), 1u) << Narrow(module);
        EXPECT_EQ(key.Dword(L"isVst", records[0].c_str()), 1u) << Narrow(module);
    }
    EXPECT_EQ(key.InventoryKeys().size(), 3u);
    EXPECT_TRUE(Contains(log, L"SIEVO: Scan folder skipped, not a full path: plugins"));
    std::wstring gone = dir.Path() + L"\\gone";
    CharLowerBuffW(gone.data(), static_cast<DWORD>(gone.size()));
    EXPECT_TRUE(Contains(log, L"SIEVO: Scan folder not found: " + gone));

    const std::wstring echo = key.RecordsOf(expanded)[0];
    key.SetText(L"rescanExisting", L"0");
    key.SetText(L"isBad", L"0", echo.c_str());
    log = Scan(key);
    EXPECT_FALSE(Contains(log, L"SIEVO: VST plugin successfully scanned")) << "not rescanned";
    EXPECT_EQ(key.Dword(L"isBad", echo.c_str()), 0u) << "a record skipped as known bad would keep the text";
    EXPECT_TRUE(
        Contains(log, L"SIEVO: Registry value \"rescanExisting\" ignored: not a 32-bit number (type 1, 4 bytes)"));
    EXPECT_TRUE(Contains(log, L"SIEVO: Registry value \"isBad\" ignored: not a 32-bit number (type 1, 4 bytes)"));
    // A short binary is a number.
    const BYTE on = 1;
    RegSetKeyValueW(HKEY_CURRENT_USER, key.Path().c_str(), L"rescanExisting", REG_BINARY, &on, 1);
    EXPECT_TRUE(Contains(Scan(key), L"SIEVO: VST plugin successfully scanned"));
}

}  // namespace
