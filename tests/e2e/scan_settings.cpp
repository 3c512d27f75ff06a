// Which files a scan considers, in which order, and settings as users and
// tools leave them.
#include <gtest/gtest.h>

#include "TestSupport.h"

using namespace sievo_test;

namespace {

// A logged scan to its end; its log.
std::vector<std::wstring> Scan(const TestKey& key) {
    DeleteLogs();
    EXPECT_EQ(RunSievo(key.Args() + L"/Log").exitCode, 0u);
    return ReadLogLines(MainLogPath());
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
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    std::wstring inTemp = dir.Path().substr(wcslen(temp));  // sievo-... below %TEMP%
    std::wstring expanded = dir.Copy(PluginPath(L"effect_with_editor"), L"expanded\\Echo.dll");
    std::wstring doubled = dir.Copy(PluginPath(L"no_editor_7_params"), L"doubled\\fx\\Seven.dll");
    std::wstring dotted = dir.Copy(PluginPath(L"no_editor_50_params"), L"dotted\\Fifty.dll");
    key.SetText(L"expanded", L"%TEMP%\\" + inTemp + L"\\expanded", L"Paths", REG_EXPAND_SZ);
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
