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
// the stored scan counters. That makes the background flag observable.
void SeedCounters(const TestKey& key) {
    key.SetDword(L"scanInSandbox", 1);
    key.SetDword(L"PluginsFound", 77, L"Inventory");
}
bool CountersWereReset(const TestKey& key) {
    DWORD found = 0;
    return key.GetDword(L"PluginsFound", &found, L"Inventory") && found == 0;
}

TEST_F(Startup, FlagsWithoutBlanksBetweenThemAllCount) {
    SeedCounters(key);
    ASSERT_EQ(RunSievo(key.Args() + L"/Background/Log").exitCode, 0u);
    EXPECT_TRUE(CountersWereReset(key));
    auto lines = ReadLogLines(MainLogPath());
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], L"Opened Log File -----------------------------");
    EXPECT_TRUE(Contains(lines, L"Flag: Background"));
    EXPECT_TRUE(Contains(lines, L"Flag: Log"));
}

TEST_F(Startup, BackgroundMatchesAsPrefixAndLastLogHasNoBlank) {
    SeedCounters(key);
    ASSERT_EQ(RunSievo(key.Args() + L"/Background /Log").exitCode, 0u);
    EXPECT_TRUE(CountersWereReset(key));
    EXPECT_TRUE(Contains(ReadLogLines(MainLogPath()), L"Flag: Background "));
}

TEST_F(Startup, LogWithTrailingBlankIsNotTheLogFlag) {
    SeedCounters(key);
    ASSERT_EQ(RunSievo(key.Args() + L"/Log /Background").exitCode, 0u);
    EXPECT_TRUE(CountersWereReset(key));
    EXPECT_EQ(GetFileAttributesW(MainLogPath().c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(Startup, SandboxingIsNotReadWithoutBackground) {
    SeedCounters(key);
    ASSERT_EQ(RunSievo(key.Args() + L"/Log").exitCode, 0u);
    EXPECT_FALSE(CountersWereReset(key));
}

TEST_F(Startup, StoredLogPreferenceTurnsTheLogOn) {
    key.SetDword(L"generateScanLog", 1);
    ASSERT_EQ(RunSievo(key.Args()).exitCode, 0u);
    EXPECT_TRUE(Contains(ReadLogLines(MainLogPath()), L"Opened Log File -----------------------------"));
}

TEST_F(Startup, QuotedKeyPathIsUnquotedAndGetsTheProgramPath) {
    ASSERT_EQ(RunSievo(key.Args() + L"/Log").exitCode, 0u);
    std::wstring selfPath;
    ASSERT_TRUE(key.GetString(L"SievoPath", &selfPath));
    EXPECT_EQ(_wcsicmp(selfPath.c_str(), (BinDir() + L"\\Sievo.exe").c_str()), 0);
    DWORD visible = 7;
    EXPECT_TRUE(key.GetDword(L"SievoGUIVisible", &visible));
    EXPECT_EQ(visible, 0u);
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

TEST_F(Startup, SecondInstanceInBackgroundLeavesQuietly) {
    HANDLE mutex = CreateMutexW(nullptr, FALSE, L"Tarnwell Sievo.exe");
    ASSERT_NE(mutex, nullptr);
    bool sawWindow = false;
    RunResult r = RunSievo(key.Args() + L"/Background/Log", 20000, [&](DWORD pid) {
        if (FindProcessWindow(pid, L"Error")) sawWindow = true;
    });
    CloseHandle(mutex);
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_FALSE(sawWindow);
    DWORD visible = 0;
    EXPECT_FALSE(key.GetDword(L"SievoGUIVisible", &visible)) << "a refused run touches nothing";
}

TEST_F(Startup, SecondInstanceTellsTheUser) {
    HANDLE mutex = CreateMutexW(nullptr, FALSE, L"Tarnwell Sievo.exe");
    ASSERT_NE(mutex, nullptr);
    std::wstring shown;
    RunResult r = RunSievo(key.Args(), 20000, [&](DWORD pid) {
        if (HWND box = FindProcessWindow(pid, L"Error")) {
            shown = ControlText(box, 0xFFFF);
            ClickButton(box, IDOK);
        }
    });
    CloseHandle(mutex);
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_EQ(shown, L"A VST scan is already running.\r\nPlease wait for it to complete before starting another scan.");
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
}

TEST_F(Startup, ScanVstPathIsCutAtASlash) {
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

TEST_F(Startup, WrongTypedPreferencesAreIgnored) {
    // An 8-byte number or a text where a 32-bit flag belongs must not turn
    // the log on.
    HKEY k = nullptr;
    ASSERT_EQ(
        RegCreateKeyExW(HKEY_CURRENT_USER, key.Path().c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr),
        ERROR_SUCCESS);
    const ULONGLONG one = 1;
    RegSetValueExW(k, L"generateScanLog", 0, REG_QWORD, reinterpret_cast<const BYTE*>(&one), sizeof one);
    RegCloseKey(k);
    ASSERT_EQ(RunSievo(key.Args()).exitCode, 0u);
    EXPECT_EQ(GetFileAttributesW(MainLogPath().c_str()), INVALID_FILE_ATTRIBUTES);
    key.SetText(L"generateScanLog", L"1");
    ASSERT_EQ(RunSievo(key.Args()).exitCode, 0u);
    EXPECT_EQ(GetFileAttributesW(MainLogPath().c_str()), INVALID_FILE_ATTRIBUTES);
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
