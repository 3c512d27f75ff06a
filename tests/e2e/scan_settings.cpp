// Settings as users and tools leave them: an empty /VSTRegKey:, flags stored
// as text, scan folders written with variables, doubled separators, "..",
// relative names or folders that are gone.
#include <gtest/gtest.h>

#include "TestSupport.h"

using namespace sievo_test;

namespace {

bool RootHasValue(const wchar_t* name) {
    return RegGetValueW(HKEY_CURRENT_USER, nullptr, name, RRF_RT_ANY, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

TEST(ScanSettings, AnEmptyConfigurationKeyIsRefusedAndNothingWritten) {
    RegDeleteKeyValueW(HKEY_CURRENT_USER, nullptr, L"SievoPath");
    RegDeleteKeyValueW(HKEY_CURRENT_USER, nullptr, L"SievoGUIVisible");
    for (const wchar_t* args : {L"/VSTRegPerUser/VSTRegKey:/Log", L"/VSTRegPerUser/VSTRegKey:\"\"/Background"}) {
        RunResult r = RunSievo(args, 60000);
        ASSERT_FALSE(r.timedOut) << Narrow(args);
        EXPECT_EQ(r.exitCode, 87u) << Narrow(args);
        EXPECT_FALSE(RootHasValue(L"SievoPath")) << Narrow(args);
        EXPECT_FALSE(RootHasValue(L"SievoGUIVisible")) << Narrow(args);
    }
}

TEST(ScanSettings, FlagsStoredAsTextKeepTheirDefaults) {
    TestKey key;
    TempDir dir;
    key.AddScanPath(dir.Make(L"plugins"));
    std::wstring echo = dir.Copy(PluginPath(L"effect_with_editor"), L"plugins\\Echo.dll");
    DeleteLogs();
    ASSERT_EQ(RunSievo(key.Args() + L"/Log").exitCode, 0u);

    key.SetText(L"rescanExisting", L"0");
    key.SetText(L"isBad", L"0", TestKey::Record(echo).c_str());
    DeleteLogs();
    ASSERT_EQ(RunSievo(key.Args() + L"/Log").exitCode, 0u);
    auto log = ReadLogLines(MainLogPath());
    EXPECT_TRUE(Contains(log, L"SIEVO: VST plugin previously scanned")) << "neither rescanned nor taken as bad";
    EXPECT_EQ(key.Dword(L"isBad", TestKey::Record(echo).c_str()), 0u)
        << "a record skipped as known bad would keep the text";
    EXPECT_TRUE(
        Contains(log, L"SIEVO: Registry value \"rescanExisting\" ignored: not a 32-bit number (type 1, 4 bytes)"));
    EXPECT_TRUE(Contains(log, L"SIEVO: Registry value \"isBad\" ignored: not a 32-bit number (type 1, 4 bytes)"));

    // A short binary is a number.
    HKEY k = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, key.Path().c_str(), 0, KEY_SET_VALUE, &k), ERROR_SUCCESS);
    const BYTE on = 1;
    RegSetValueExW(k, L"rescanExisting", 0, REG_BINARY, &on, 1);
    RegCloseKey(k);
    DeleteLogs();
    ASSERT_EQ(RunSievo(key.Args() + L"/Log").exitCode, 0u);
    EXPECT_TRUE(Contains(ReadLogLines(MainLogPath()), L"SIEVO: VST plugin successfully scanned"));
}

TEST(ScanSettings, ScanFoldersAsUsersWriteThem) {
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
    DeleteLogs();
    ASSERT_EQ(RunSievo(key.Args() + L"/Log").exitCode, 0u);

    for (const std::wstring& module : {expanded, doubled, dotted}) {
        std::vector<std::wstring> records = key.RecordsOf(module);
        ASSERT_EQ(records.size(), 1u) << Narrow(module);
        EXPECT_EQ(key.Dword(L"isVst", records[0].c_str()), 1u) << Narrow(module);
    }
    EXPECT_EQ(key.InventoryKeys().size(), 3u);
    auto log = ReadLogLines(MainLogPath());
    EXPECT_TRUE(Contains(log, L"SIEVO: Scan folder skipped, not a full path: plugins"));
    std::wstring gone = dir.Path() + L"\\gone";
    CharLowerBuffW(gone.data(), static_cast<DWORD>(gone.size()));
    EXPECT_TRUE(Contains(log, L"SIEVO: Scan folder not found: " + gone));
}

}  // namespace
