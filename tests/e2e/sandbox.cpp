// Sandboxed scans: every module in a child process of its own, so that a
// module that takes its process down, or never returns, costs only that child.
#include <gtest/gtest.h>

#include "TestSupport.h"

using namespace sievo_test;

namespace {

class Sandbox : public ::testing::Test {
protected:
    void SetUp() override {
        DeleteLogs();
        folder = dir.Make(L"plugins");
        key.AddScanPath(folder);
        key.SetDword(L"scanInSandbox", 1);
    }
    // Scan folders are kept in lower case, so logged paths are too (the file
    // names keep theirs).
    static std::wstring Lower(std::wstring s) {
        CharLowerBuffW(s.data(), static_cast<DWORD>(s.size()));
        return s;
    }
    std::wstring Record(const std::wstring& module) { return L"Inventory\\" + TestKey::RecordKey(module); }
    DWORD Value(const std::wstring& module, const wchar_t* name) {
        DWORD v = 0xFFFFFFFF;
        key.GetDword(name, &v, Record(module).c_str());
        return v;
    }
    DWORD Counter(const wchar_t* name) {
        DWORD v = 0xFFFFFFFF;
        key.GetDword(name, &v, L"Inventory");
        return v;
    }
    TestKey key;
    TempDir dir;
    std::wstring folder;
};

TEST_F(Sandbox, ChildThatDiesEndsNothingButItself) {
    std::wstring killer = dir.Copy(PluginPath(L"exit_in_dllmain"), L"plugins\\A_Killer.dll");
    std::wstring effect = dir.Copy(PluginPath(L"effect_with_editor"), L"plugins\\B_Echo.dll");
    RunResult r = RunSievo(key.Args() + L"/Background/Log", 120000);
    ASSERT_FALSE(r.timedOut);
    EXPECT_EQ(r.exitCode, 0u);

    EXPECT_EQ(Value(killer, L"isBad"), 1u) << "the child marked it before its code ran";
    EXPECT_EQ(Value(effect, L"isBad"), 0u);
    EXPECT_EQ(Value(effect, L"isVst"), 1u);
    EXPECT_EQ(Counter(L"PluginsFound"), 1u) << "the sums the children stored";
    EXPECT_EQ(Counter(L"PluginsScanned"), 1u);

    // The parent writes no record of its own; each child logs its module.
    auto parent = ReadLogLines(MainLogPath());
    auto children = ReadLogLines(SandboxLogPath());
    EXPECT_FALSE(Contains(parent, L"SIEVO: VST plugin successfully scanned"));
    EXPECT_TRUE(Contains(children, L"SIEVO: VST plugin successfully scanned"));
    EXPECT_TRUE(Contains(children, L"VST to scan - " + Lower(folder) + L"\\A_Killer.dll"));
    EXPECT_TRUE(
        Contains(parent, L"SIEVO: Finished analyzing VST plugins - 1 of 1 VST plugins were scanned in this run"));
}

// A bundle's folder cannot load, so the scan records it itself, as a child
// told to scan it records it; the module inside wants COM on its thread.
TEST_F(Sandbox, BundleFolderIsRecordedWithoutAChild) {
    std::wstring inner =
        dir.Copy(PluginDir() + L"\\bundles\\separate_controller.vst3\\Contents\\x86_64-win\\separate_controller.vst3",
                 L"plugins\\Delay.vst3\\Contents\\x86_64-win\\Delay.vst3");
    std::wstring gain = dir.Copy(PluginDir() + L"\\single_component.vst3", L"plugins\\Gain.vst3");
    std::wstring effect = dir.Copy(PluginPath(L"effect_with_editor"), L"plugins\\Echo.dll");
    std::wstring bundle = Lower(folder) + L"\\Delay.vst3";  // as the file search names it
    RunResult r = RunSievo(key.Args() + L"/Background/Log", 120000);
    ASSERT_FALSE(r.timedOut);
    EXPECT_EQ(r.exitCode, 0u);

    std::wstring name;
    key.GetString(L"FullName", &name, Record(inner).c_str());
    EXPECT_EQ(name, L"Separate Controller Delay");
    EXPECT_EQ(Value(gain, L"isVst3"), 1u);
    EXPECT_EQ(Value(effect, L"isVst"), 1u);
    EXPECT_EQ(Value(bundle, L"isVst3"), 0u);
    EXPECT_EQ(Value(bundle, L"touch"), 1u) << "the sweep keeps it";
    EXPECT_EQ(Counter(L"PluginsFound"), 3u);
    EXPECT_EQ(Counter(L"PluginsScanned"), 3u);
    auto children = ReadLogLines(SandboxLogPath());
    int runs = 0;
    for (const std::wstring& line : children) runs += line.rfind(L"VST to scan - ", 0) == 0 ? 1 : 0;
    EXPECT_EQ(runs, 3) << "one child a module, none for the folder";
    EXPECT_FALSE(Contains(children, L"VST to scan - " + bundle));

    // A child told to scan the folder writes the very same record; one told
    // to scan the module, with the log off, still sets COM up for it (and
    // leaves no log behind).
    for (const std::wstring& path : {bundle, bundle + L"\\Contents\\x86_64-win\\Delay.vst3"}) {
        std::wstring record = Record(path);
        auto recorded = key.Values(record.c_str());
        ASSERT_FALSE(recorded.empty());
        ASSERT_EQ(RegDeleteTreeW(HKEY_CURRENT_USER, key.Sub(record.c_str()).c_str()), ERROR_SUCCESS);
        DeleteLogs();
        r = RunSievo(key.Args() + L"/Background/ScanVst:\"" + path + L"\"", 30000);
        ASSERT_FALSE(r.timedOut);
        EXPECT_EQ(key.Values(record.c_str()), recorded) << Narrow(path);
        EXPECT_EQ(GetFileAttributesW(SandboxLogPath().c_str()), INVALID_FILE_ATTRIBUTES);
    }
}

TEST_F(Sandbox, ChildThatNeverReturnsIsStoppedAfterTheTimeLimit) {
    std::wstring hang = dir.Copy(PluginPath(L"hang_in_entry"), L"plugins\\Hang.dll");
    std::wstring effect = dir.Copy(PluginPath(L"effect_with_editor"), L"plugins\\Echo.dll");
    key.SetDword(L"sandboxTimeout", 3);
    DWORD start = GetTickCount();
    RunResult r = RunSievo(key.Args() + L"/Background/Log", 90000);
    ASSERT_FALSE(r.timedOut);
    EXPECT_LT(GetTickCount() - start, 60000u);
    EXPECT_EQ(Value(hang, L"isBad"), 1u);
    EXPECT_EQ(Value(effect, L"isVst"), 1u) << "the scan went on after the stopped child";
    EXPECT_TRUE(Contains(ReadLogLines(MainLogPath()),
                         L"SIEVO: Sandboxed scan of " + Lower(folder) + L"\\Hang.dll stopped after 3 seconds"));

    // Later scans skip it as known bad instead of waiting again.
    DeleteLogs();
    r = RunSievo(key.Args() + L"/Background/Log", 90000);
    ASSERT_FALSE(r.timedOut);
    EXPECT_TRUE(Contains(ReadLogLines(MainLogPath()), L"SIEVO: Known bad VST plugin skipped"));
}

TEST_F(Sandbox, WithoutATimeLimitOfItsOwnAChildGetsTwoMinutes) {
    std::wstring spin = dir.Copy(PluginPath(L"misbehaves_as_told"), L"plugins\\A_Spin.dll");
    dir.Write(L"plugins\\A_Spin.dll.how", "spin");
    std::wstring effect = dir.Copy(PluginPath(L"effect_with_editor"), L"plugins\\B_Echo.dll");
    RunResult r = RunSievo(key.Args() + L"/Background/Log", 300000);
    ASSERT_FALSE(r.timedOut) << "a host's scan must end";
    EXPECT_EQ(Value(spin, L"isBad"), 1u);
    EXPECT_EQ(Value(effect, L"isVst"), 1u);
    EXPECT_TRUE(Contains(ReadLogLines(MainLogPath()),
                         L"SIEVO: Sandboxed scan of " + Lower(folder) + L"\\A_Spin.dll stopped after 120 seconds"));
}

}  // namespace
