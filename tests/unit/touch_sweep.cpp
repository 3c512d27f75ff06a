// Mark and sweep over a real Inventory key: which records go, which stay,
// what is counted and what the log says, in order.
#include <gtest/gtest.h>
#include <objbase.h>

#include "TestSupport.h"
#include "core/ScanContext.h"
#include "core/Win32Owners.h"
#include "diag/ScanLog.h"
#include "inventory/TouchSweep.h"

using namespace sievo_test;

namespace {

class Sweep : public ::testing::Test {
protected:
    void SetUp() override {
        g_ctx.registryRoot = HKEY_CURRENT_USER;
        wcscpy(g_ctx.configKeyPath, key.Path().c_str());
        CoInitialize(nullptr);  // the logging component is a COM object
        CloseLog();
        DeleteLogs();
        ASSERT_NE(OpenLog(), nullptr);
    }
    void TearDown() override { CloseLog(); }

    // A record key with the values the sweep looks at.
    void Record(const std::wstring& name, DWORD touch, DWORD isVst, bool withClsid, DWORD isShellRoot = 0,
                bool writeTouch = true) {
        RegKey k;
        ASSERT_EQ(k.Create(HKEY_CURRENT_USER, key.Sub((L"Inventory\\" + name).c_str()).c_str(), KEY_ALL_ACCESS),
                  ERROR_SUCCESS);
        if (writeTouch) RegSetValueExW(k.Get(), L"touch", 0, REG_DWORD, reinterpret_cast<BYTE*>(&touch), 4);
        RegSetValueExW(k.Get(), L"isVst", 0, REG_DWORD, reinterpret_cast<BYTE*>(&isVst), 4);
        RegSetValueExW(k.Get(), L"isShellRoot", 0, REG_DWORD, reinterpret_cast<BYTE*>(&isShellRoot), 4);
        if (withClsid) {
            const wchar_t id[] = L"{141AC902-4142-4344-4543-484F00000000}";
            RegSetValueExW(k.Get(), L"clsidPlug", 0, REG_SZ, reinterpret_cast<const BYTE*>(id), sizeof id);
        }
    }
    std::vector<std::wstring> Log() {
        CloseLog();
        auto lines = ReadLogLines(MainLogPath());
        OpenLog();
        return lines;
    }
    TestKey key;
};

TEST_F(Sweep, UntouchedShellGoesWithItsChildrenAndCountsThem) {
    Record(L"C:/X/Shell.dll", 0, 1, false, 1);
    Record(L"C:/X/Shell.dll*1 One", 0, 1, true);
    Record(L"C:/X/Shell.dll*2 Two", 0, 1, true);
    Record(L"c:/x/SHELL.DLL*3 Three", 0, 1, true);  // letter case differs from the shell's
    Record(L"C:/X/Shell.dll2.dll", 1, 1, true);     // shares the prefix, not a child
    EXPECT_EQ(DeleteUntouched(), 3);
    std::vector<std::wstring> left = key.InventoryKeys();
    EXPECT_EQ(left, std::vector<std::wstring>{L"C:/X/Shell.dll2.dll"});
    auto log = Log();
    EXPECT_TRUE(Contains(log, L"SIEVO: Delete untouched - Scanning for plugins to remove..."));
    EXPECT_TRUE(Contains(log, L"SIEVO: Removed 3 unavailable plugin's from VST inventory"));
    EXPECT_TRUE(Contains(log, L"SIEVO: Deleted registry key (C:/X/Shell.dll)"));
}

TEST_F(Sweep, ChildOfTouchedShellStaysAndTouchZeroGoes) {
    Record(L"C:/X/Shell.dll", 1, 1, false, 1);
    Record(L"C:/X/Shell.dll*1 One", 0, 1, true);
    Record(L"C:/X/Zero.dll", 0, 1, true);
    Record(L"C:/X/Missing.dll", 0, 1, true, 0, false);
    EXPECT_EQ(DeleteUntouched(), 2);
    std::vector<std::wstring> expected = {L"C:/X/Shell.dll", L"C:/X/Shell.dll*1 One"};
    EXPECT_EQ(key.InventoryKeys(), expected);
}

TEST_F(Sweep, RecordsThatAreNoPluginGoUncountedAndQuietly) {
    Record(L"C:/X/NotAPlugin.dll", 0, 0, false);
    Record(L"C:/X/NoClassId.dll", 0, 1, false);
    EXPECT_EQ(DeleteUntouched(), 0);
    EXPECT_TRUE(key.InventoryKeys().empty());
    for (const std::wstring& line : Log()) EXPECT_EQ(line.find(L"Removed"), std::wstring::npos) << Narrow(line);
}

TEST_F(Sweep, ClearingTheMarksMakesEverythingStale) {
    Record(L"C:/X/A.dll", 1, 1, true);
    Record(L"C:/X/B.dll", 1, 1, true);
    ClearTouchFlags();
    DWORD touch = 0;
    EXPECT_FALSE(key.GetDword(L"touch", &touch, L"Inventory\\C:/X/A.dll"));
    EXPECT_EQ(DeleteUntouched(), 2);
}

TEST_F(Sweep, NestedKeysAreDeletedInnermostFirst) {
    Record(L"C:/X/Vst3.vst3", 0, 1, true);
    RegKey deep;
    deep.Create(HKEY_CURRENT_USER, key.Sub(L"Inventory\\C:/X/Vst3.vst3\\ForwardCompatible\\UID1").c_str(),
                KEY_ALL_ACCESS);
    deep.Close();
    EXPECT_EQ(DeleteUntouched(), 1);
    auto log = Log();
    int inner = IndexOf(log, L"SIEVO: Deleted registry key (UID1)");
    int middle = IndexOf(log, L"SIEVO: Deleted registry key (ForwardCompatible)");
    int outer = IndexOf(log, L"SIEVO: Deleted registry key (C:/X/Vst3.vst3)");
    ASSERT_GE(inner, 0);
    EXPECT_LT(inner, middle);
    EXPECT_LT(middle, outer);
    EXPECT_TRUE(key.InventoryKeys().empty());
}

TEST_F(Sweep, ShellChildrenAreRemovedByNameOnly) {
    Record(L"C:/X/A.dll", 1, 1, true, 1);
    Record(L"C:/X/A.dll*5 Five", 1, 1, true);
    Record(L"C:/X/A.dll*6 Six", 1, 1, true);
    Record(L"C:/X/A.dll2.dll", 1, 1, true);
    Record(L"C:/X/B.dll*1 Other", 1, 1, true);
    RegKey inventory;
    ASSERT_EQ(inventory.Open(HKEY_CURRENT_USER, key.Sub(L"Inventory").c_str(), KEY_ALL_ACCESS), ERROR_SUCCESS);
    EXPECT_EQ(DeleteShellChildren(inventory.Get(), L"c:/x/a.DLL"), 2);
    std::vector<std::wstring> expected = {L"C:/X/A.dll", L"C:/X/A.dll2.dll", L"C:/X/B.dll*1 Other"};
    EXPECT_EQ(key.InventoryKeys(), expected);
}

TEST_F(Sweep, EliminateSubkeyAnswers) {
    RegKey inventory;
    ASSERT_EQ(inventory.Create(HKEY_CURRENT_USER, key.Sub(L"Inventory").c_str(), KEY_ALL_ACCESS), ERROR_SUCCESS);
    EXPECT_EQ(EliminateSubkey(inventory.Get(), L""), E_FAIL);
    EXPECT_EQ(EliminateSubkey(inventory.Get(), L"not there"), 0);
}

TEST_F(Sweep, NoInventoryKeyRemovesNothing) {
    EXPECT_EQ(DeleteUntouched(), 0);
    ClearTouchFlags();
    EXPECT_TRUE(Contains(Log(), L"SIEVO: Delete untouched - Scanning for plugins to remove..."));
}

}  // namespace
