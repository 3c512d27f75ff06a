// Plug-ins that fault while they are scanned: the scan reports the fault in
// the load-error dialog, the user decides, and the scan goes on to the next
// module and finishes as usual.
#include <gtest/gtest.h>

#include "TestSupport.h"

using namespace sievo_test;

namespace {

const wchar_t kLoadErrorCaption[] = L"Tarnwell VST Scan: VST Plug-in Load Error";
constexpr int kEnable = 64;
constexpr int kDisable = 2;

struct Seen {
    int dialogs = 0;
    std::wstring name;
    std::wstring step;
};

// Runs a visible full scan and answers every load-error dialog the way a
// user would: read it, then click the chosen button.
RunResult ScanAnswering(const TestKey& key, int button, Seen* seen) {
    return RunSievo(key.Args() + L"/Log", 120000, [&](DWORD pid) {
        if (HWND dialog = FindProcessWindow(pid, kLoadErrorCaption)) {
            std::wstring name = ControlText(dialog, 1001);
            if (name.empty()) return;  // not filled in yet
            seen->name = name;
            seen->step = ControlText(dialog, 1002);
            ++seen->dialogs;
            ClickButton(dialog, button);
            Sleep(200);
        }
    });
}

struct Crasher {
    const wchar_t* plugin;
    const wchar_t* step;  // the step label the dialog shows
    const wchar_t* name;  // the name it shows: the file's until the plug-in told its own
};

class Crashes : public ::testing::Test {
protected:
    std::wstring Record(const std::wstring& module) { return L"Inventory\\" + TestKey::RecordKey(module); }
    DWORD Value(const TestKey& key, const std::wstring& module, const wchar_t* name) {
        DWORD v = 0xFFFFFFFF;
        key.GetDword(name, &v, Record(module).c_str());
        return v;
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
        Seen seen;
        RunResult r = ScanAnswering(key, kDisable, &seen);
        ASSERT_FALSE(r.timedOut);
        EXPECT_EQ(r.exitCode, 0u);
        EXPECT_EQ(seen.dialogs, 1);
        EXPECT_EQ(seen.name, c.name);
        EXPECT_EQ(seen.step, c.step);

        auto log = ReadLogLines(MainLogPath());
        EXPECT_TRUE(Contains(log, L"SIEVO: Exception in function [Load VST Plugin], failure point[Load VST Plugin]"));
        EXPECT_EQ(Value(key, crasher, L"isBad"), 1u) << "disabled by the user";
        EXPECT_EQ(Value(key, good, L"isVst"), 1u) << "the next module was scanned";
        DWORD found = 0;
        EXPECT_TRUE(key.GetDword(L"PluginsFound", &found, L"Inventory"));
        EXPECT_GE(found, 1u) << "metrics written at the end";
    }
}

TEST_F(Crashes, EnablingARiskyPluginKeepsItUnmarkedButUncounted) {
    TestKey key;
    TempDir dir;
    key.AddScanPath(dir.Make(L"plugins"));
    std::wstring crasher = dir.Copy(PluginPath(L"crash_in_open"), L"plugins\\Risky.dll");
    DeleteLogs();
    Seen seen;
    RunResult r = ScanAnswering(key, kEnable, &seen);
    ASSERT_FALSE(r.timedOut);
    EXPECT_EQ(seen.dialogs, 1);
    EXPECT_EQ(Value(key, crasher, L"isBad"), 0u);
    DWORD scanned = 0xFFFFFFFF;
    key.GetDword(L"PluginsScanned", &scanned, L"Inventory");
    EXPECT_NE(scanned, 1u) << "an ordinary plug-in that faulted yields no plug-in";

    // Not marked bad, so the next scan tries it again (and the user is asked again).
    Seen again;
    ASSERT_FALSE(ScanAnswering(key, kDisable, &again).timedOut);
    EXPECT_EQ(again.dialogs, 1);
    EXPECT_EQ(Value(key, crasher, L"isBad"), 1u);

    // Marked bad now: skipped without a dialog.
    Seen third;
    ASSERT_FALSE(ScanAnswering(key, kDisable, &third).timedOut);
    EXPECT_EQ(third.dialogs, 0);
}

TEST_F(Crashes, HeapCorruptionNamesTheCallBeforeIt) {
    TestKey key;
    TempDir dir;
    key.AddScanPath(dir.Make(L"plugins"));
    std::wstring crasher = dir.Copy(PluginPath(L"heap_corruptor"), L"plugins\\Corruptor.dll");
    DeleteLogs();
    Seen seen;
    RunResult r = ScanAnswering(key, kDisable, &seen);
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
    Seen seen;
    // In background mode the dialog comes from the child process.
    RunResult r = RunSievo(key.Args() + L"/Background/Log", 120000, [&](DWORD) {
        // The child is another Sievo.exe; look for the dialog in any process.
        HWND dialog = FindWindowW(nullptr, kLoadErrorCaption);
        if (dialog && !ControlText(dialog, 1001).empty()) {
            seen.name = ControlText(dialog, 1001);
            seen.step = ControlText(dialog, 1002);
            ++seen.dialogs;
            ClickButton(dialog, kDisable);
            Sleep(200);
        }
    });
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
