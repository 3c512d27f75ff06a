// Start-up of the real program: flags, preferences, folder lists, the
// single-instance guard and the early exits, observed through the registry
// and the scan log.
#include <gtest/gtest.h>

#include "TestSupport.h"

using namespace sievo_test;

namespace {

constexpr wchar_t kOpened[] = L"Opened Log File -----------------------------";
constexpr wchar_t kListing[] = L"-------- VST scan path's --------";

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
    DeleteLogs();
    std::wstring a = dir.Make(L"Alpha");
    std::wstring b = dir.Make(L"beta");
    key.AddScanPath(b);
    key.AddScanPath(L"C:\\Plug-Ins\\ZETA\\");  // missing folder: listed, yields nothing
    key.AddScanPath(L"c:\\plug-ins\\zeta");    // the same folder again
    key.AddScanPath(L"D:\\");
    key.AddInternalPath(a + L"\\");
    key.AddInternalPath(b);  // in both groups: stands twice
    ASSERT_EQ(RunSievo(key.Args() + L"/Log").exitCode, 0u);

    auto lines = ReadLogLines(MainLogPath());
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
    EXPECT_EQ(RunSievo(key.Args() + L"/Log/" + std::wstring(3000, L'x')).exitCode, 0u);
    auto lines = ReadLogLines(MainLogPath());
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[1].size(), 1023u) << "the command-line line is cut at 1023 characters";
    EXPECT_EQ(lines[1].rfind(L"Command line: ", 0), 0u);
}

}  // namespace
