// Plug-ins that fault while they are scanned: the scan reports the fault in
// the load-error dialog, the user decides, and the scan goes on to the next
// module and finishes as usual.
#include <gtest/gtest.h>

#include "TestSupport.h"

using namespace sievo_test;

namespace {

RunResult ScanAnswering(const TestKey& key, int button, LoadErrors* seen) {
    return RunAnswering(key.Args() + L"/Log", button, seen);
}

struct Crasher {
    const wchar_t* plugin;
    const wchar_t* step;  // the step label the dialog shows
    const wchar_t* name;  // the name it shows: the file's until the plug-in told its own
};

class Crashes : public ::testing::Test {
protected:
    static DWORD Value(const TestKey& key, const std::wstring& module, const wchar_t* name) {
        return key.Dword(name, TestKey::Record(module).c_str());
    }
};

TEST_F(Crashes, EachFaultIsReportedAndTheScanGoesOn) {
    const Crasher crashers[] = {
        {L"crash_in_entry", L"Main Call", L"A_crash_in_entry"},
        {L"crash_in_open", L"Open", L"A_crash_in_open"},
        {L"crash_in_cando", L"noRealTime", L"A_crash_in_cando"},
        {L"crash_in_vendor_string", L"effGetVendorString", L"A_crash_in_vendor_string"},
        {L"crash_in_close", L"Close Effect", L"crash_in_close"},
        {L"throws_in_get_program", L"Get Program", L"A_throws_in_get_program"},
        {L"divides_by_zero", L"Set Sample Rate", L"A_divides_by_zero"},
        {L"recurses_forever", L"Set Block Size", L"A_recurses_forever"},
    };
    for (const Crasher& c : crashers) {
        SCOPED_TRACE(Narrow(c.plugin));
        TestKey key;
        TempDir dir;
        key.AddScanPath(dir.Make(L"plugins"));
        // File-system order puts A_ first: the good module is scanned after the fault.
        std::wstring crasher = dir.Copy(PluginPath(c.plugin), L"plugins\\A_" + std::wstring(c.plugin) + L".dll");
        std::wstring good = dir.Copy(PluginPath(L"effect_with_editor"), L"plugins\\B_Echo.dll");
        DeleteLogs();
        LoadErrors seen;
        RunResult r = ScanAnswering(key, kDisablePlugin, &seen);
        ASSERT_FALSE(r.timedOut);
        EXPECT_EQ(r.exitCode, 0u);
        EXPECT_EQ(seen.dialogs, 1);
        EXPECT_EQ(seen.name, c.name);
        EXPECT_EQ(seen.step, c.step);

        auto log = ReadLogLines(MainLogPath());
        EXPECT_TRUE(Contains(log, L"SIEVO: Exception in function [Load VST Plugin], failure point[Load VST Plugin]"));
        EXPECT_EQ(Value(key, crasher, L"isBad"), 1u) << "disabled by the user";
        EXPECT_EQ(Value(key, good, L"isVst"), 1u) << "the next module was scanned";
        const DWORD found = key.Dword(L"PluginsFound", L"Inventory");
        EXPECT_TRUE(found >= 1 && found != TestKey::kMissing) << "metrics written at the end";
    }
}

TEST_F(Crashes, EnablingARiskyPluginKeepsItUnmarkedButUncounted) {
    TestKey key;
    TempDir dir;
    key.AddScanPath(dir.Make(L"plugins"));
    std::wstring crasher = dir.Copy(PluginPath(L"crash_in_open"), L"plugins\\Risky.dll");
    DeleteLogs();
    LoadErrors seen;
    RunResult r = ScanAnswering(key, kEnablePlugin, &seen);
    ASSERT_FALSE(r.timedOut);
    EXPECT_EQ(seen.dialogs, 1);
    EXPECT_EQ(Value(key, crasher, L"isBad"), 0u);
    EXPECT_NE(key.Dword(L"PluginsScanned", L"Inventory"), 1u) << "an ordinary plug-in that faulted yields no plug-in";

    // Not marked bad, so the next scan tries it again (and the user is asked again).
    LoadErrors again;
    ASSERT_FALSE(ScanAnswering(key, kDisablePlugin, &again).timedOut);
    EXPECT_EQ(again.dialogs, 1);
    EXPECT_EQ(Value(key, crasher, L"isBad"), 1u);

    // Marked bad now: skipped without a dialog.
    LoadErrors third;
    ASSERT_FALSE(ScanAnswering(key, kDisablePlugin, &third).timedOut);
    EXPECT_EQ(third.dialogs, 0);
}

TEST_F(Crashes, HeapCorruptionNamesTheCallBeforeIt) {
    TestKey key;
    TempDir dir;
    key.AddScanPath(dir.Make(L"plugins"));
    std::wstring crasher = dir.Copy(PluginPath(L"heap_corruptor"), L"plugins\\Corruptor.dll");
    DeleteLogs();
    LoadErrors seen;
    RunResult r = ScanAnswering(key, kDisablePlugin, &seen);
    ASSERT_FALSE(r.timedOut);
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_EQ(seen.step, L" - HeapValidate: effOpen");
    auto log = ReadLogLines(MainLogPath());
    EXPECT_TRUE(Contains(log, L"SIEVO: Heap corrupted after calling dispatcher!"));
    EXPECT_EQ(Value(key, crasher, L"isBad"), 1u);
}

TEST_F(Crashes, SandboxedChildReportsItsOwnFault) {
    TestKey key;
    TempDir dir;
    key.AddScanPath(dir.Make(L"plugins"));
    key.SetDword(L"scanInSandbox", 1);
    std::wstring crasher = dir.Copy(PluginPath(L"crash_in_open"), L"plugins\\A_Crash.dll");
    std::wstring good = dir.Copy(PluginPath(L"effect_with_editor"), L"plugins\\B_Echo.dll");
    DeleteLogs();
    LoadErrors seen;
    // In background mode the dialog comes from the child process.
    RunResult r = RunAnswering(key.Args() + L"/Background/Log", kDisablePlugin, &seen);
    ASSERT_FALSE(r.timedOut);
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_EQ(seen.dialogs, 1);
    EXPECT_EQ(seen.step, L"Open");
    EXPECT_EQ(Value(key, crasher, L"isBad"), 1u);
    EXPECT_EQ(Value(key, good, L"isVst"), 1u);
    EXPECT_TRUE(Contains(ReadLogLines(SandboxLogPath()),
                         L"SIEVO: Exception in function [Load VST Plugin], failure point[Load VST Plugin]"));
}

}  // namespace
