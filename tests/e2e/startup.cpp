// Start-up of the real program: flags, preferences, folder lists, the
// single-instance guard and the early exits, observed through the registry
// and the scan log.
#include <gtest/gtest.h>

#include "TestSupport.h"

using namespace sievo_test;

namespace {

class Startup : public ::testing::Test {
protected:
    void SetUp() override { DeleteLogs(); }
    TestKey key;
    TempDir dir;
};

// Sandboxing is read only in background mode; when it is on, start-up resets
// the stored scan counters. That makes the background flag observable. A
// flag counts with no blank after it or as the last one; a log preference
// of the wrong type (an 8-byte number, a text) is no preference.
TEST_F(Startup, FlagsAndTheLogPreference) {
    enum Pref { None, LogOn, LogQword, LogText };
    const struct {
        const wchar_t* flags;
        Pref pref;
        bool countersReset;
        const wchar_t* logged;  // a line of the main log; null: no log at all
    } cases[] = {
        {L"/Background/Log", None, true, L"Flag: Background"},
        {L"/Background/Log", None, true, L"Flag: Log"},
        {L"/Background /Log", None, true, L"Flag: Background "},
        {L"/Log /Background", None, true, nullptr},
        {L"/Log", None, false, L"Flag: Log"},
        {L"", LogOn, false, L"Opened Log File -----------------------------"},
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
        ASSERT_EQ(RunSievo(key.Args() + c.flags).exitCode, 0u);
        EXPECT_EQ(key.Dword(L"PluginsFound", L"Inventory"), c.countersReset ? 0u : 77u);
        auto lines = ReadLogLines(MainLogPath());
        EXPECT_EQ(lines.empty(), !c.logged);
        if (!c.logged || lines.empty()) continue;
        EXPECT_EQ(lines[0], L"Opened Log File -----------------------------");
        EXPECT_TRUE(Contains(lines, c.logged));
    }
}

TEST_F(Startup, QuotedKeyPathIsUnquotedAndGetsTheProgramPath) {
    ASSERT_EQ(RunSievo(key.Args() + L"/Log").exitCode, 0u);
    EXPECT_EQ(_wcsicmp(key.Text(L"SievoPath").c_str(), (BinDir() + L"\\Sievo.exe").c_str()), 0);
    EXPECT_EQ(key.Dword(L"SievoGUIVisible"), 0u);
}

TEST_F(Startup, NoScanFoldersEndsAfterOneLine) {
    // In background mode the paths dialog cannot add a folder, so asking for
    // one would wait for ever (and keep every later scan out).
    for (const wchar_t* flags : {L"/Log", L"/ScanProps/Background/Log"}) {
        SCOPED_TRACE(Narrow(flags));
        DeleteLogs();
        RunResult r = RunSievo(key.Args() + flags, 20000);
        ASSERT_FALSE(r.timedOut);
        EXPECT_EQ(r.exitCode, 0u);
        auto lines = ReadLogLines(MainLogPath());
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines.back(), L"No VST Scan paths were found in the registry. Now exiting Sievo!");
        EXPECT_FALSE(Contains(lines, L"-------- VST scan path's --------"));
    }
}

TEST_F(Startup, FolderListsAreLowerCaseSortedAndInternalFirst) {
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
    int start = IndexOf(lines, L"-------- VST scan path's --------");
    ASSERT_GE(start, 0);
    std::vector<std::wstring> listed(lines.begin() + start + 1, lines.begin() + start + 6);
    auto lower = [](std::wstring s) {
        CharLowerBuffW(s.data(), static_cast<DWORD>(s.size()));
        return s;
    };
    // The walk strips a trailing backslash in place before the listing is
    // written, so the drive root kept by the folder list shows without it.
    std::vector<std::wstring> expected = {lower(a), lower(b), lower(b), L"c:\\plug-ins\\zeta", L"d:"};
    std::sort(expected.begin() + 2, expected.end());
    EXPECT_EQ(listed, expected);
    EXPECT_EQ(lines[start + 6], L"-----------------------------");
}

// Run by hand the user is told; run by the host the second scan leaves
// quietly, touching nothing.
TEST_F(Startup, SecondInstance) {
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

TEST_F(Startup, SinglePluginRunLogsToTheSandboxLogWithoutListing) {
    std::wstring folder = dir.Make(L"plugs");
    key.AddScanPath(folder);
    std::wstring module = dir.Copy(PluginPath(L"not_a_plugin"), L"plugs\\not_a_plugin.dll");
    ASSERT_EQ(RunSievo(key.Args() + L"/Log/ScanVst:\"" + module + L"\"").exitCode, 0u);
    EXPECT_EQ(GetFileAttributesW(MainLogPath().c_str()), INVALID_FILE_ATTRIBUTES);
    auto lines = ReadLogLines(SandboxLogPath());
    EXPECT_TRUE(Contains(lines, L"VST to scan - " + module));
    EXPECT_FALSE(Contains(lines, L"-------- VST scan path's --------"));
    // The path ends at the next flag's slash.
    ASSERT_EQ(RunSievo(key.Args() + L"/Log/ScanVst:C:\\plugs/x.dll").exitCode, 0u);
    EXPECT_TRUE(Contains(ReadLogLines(SandboxLogPath()), L"VST to scan - C:\\plugs"));
}

TEST_F(Startup, OverLongCommandLineIsCutNotOverrun) {
    std::wstring junk(3000, L'x');
    RunResult r = RunSievo(key.Args() + L"/Log/" + junk);
    EXPECT_EQ(r.exitCode, 0u);
    auto lines = ReadLogLines(MainLogPath());
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[1].size(), 1023u) << "the command-line line is cut at 1023 characters";
    EXPECT_EQ(lines[1].rfind(L"Command line: ", 0), 0u);
}

// Points the user's application-data folder at a drive that does not exist
// for as long as it lives.
class AppDataUnavailable {
public:
    AppDataUnavailable() {
        for (int i = 0; i < 2; ++i) {
            wchar_t value[1024] = {};
            DWORD cb = sizeof value - sizeof(wchar_t);
            had_[i] = RegGetValueW(HKEY_CURRENT_USER, kKeys[i], L"AppData",
                                   RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, &type_[i], value,
                                   &cb) == ERROR_SUCCESS;
            saved_[i] = value;
            Set(i, REG_EXPAND_SZ, L"Q:\\nowhere\\AppData");
        }
    }
    ~AppDataUnavailable() {
        for (int i = 0; i < 2; ++i) {
            if (had_[i])
                Set(i, type_[i], saved_[i].c_str());
            else
                RegDeleteKeyValueW(HKEY_CURRENT_USER, kKeys[i], L"AppData");
        }
    }

private:
    static constexpr const wchar_t* kKeys[2] = {
        L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders",
        L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders"};
    void Set(int i, DWORD type, const wchar_t* value) {
        RegSetKeyValueW(HKEY_CURRENT_USER, kKeys[i], L"AppData", type, value,
                        static_cast<DWORD>((wcslen(value) + 1) * sizeof(wchar_t)));
    }
    bool had_[2] = {};
    DWORD type_[2] = {};
    std::wstring saved_[2];
};

TEST_F(Startup, WithoutApplicationDataTheLogLiesBesideTheProgram) {
    std::wstring beside = BinDir() + L"\\Sievo.log";
    DeleteFileW(beside.c_str());
    {
        AppDataUnavailable noAppData;
        ASSERT_EQ(RunSievo(key.Args() + L"/Log").exitCode, 0u);
    }
    auto lines = ReadLogLines(beside);
    DeleteFileW(beside.c_str());
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], L"Opened Log File -----------------------------");
    EXPECT_EQ(GetFileAttributesW(MainLogPath().c_str()), INVALID_FILE_ATTRIBUTES);
}

}  // namespace
