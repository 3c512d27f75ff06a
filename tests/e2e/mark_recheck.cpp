// Crash marks that need a second look: one left by a scan killed from
// outside, and one whose module file has changed since. Each module gets one
// probe in a sandboxed child; only a crash there keeps it marked.
#include <gtest/gtest.h>

#include "TestSupport.h"

using namespace sievo_test;

namespace {

class MarkRecheck : public ::testing::Test {
protected:
    void SetUp() override {
        folder = dir.Make(L"plugins");
        key.AddScanPath(folder);
    }
    DWORD IsBad(const std::wstring& module) const { return key.Dword(L"isBad", TestKey::Record(module).c_str()); }
    std::wstring Shown(const std::wstring& module) const {
        return key.Show(TestKey::Record(module), L"isBad FullName");
    }
    // Runs a visible scan with a log; returns its lines.
    std::vector<std::wstring> Scan(const std::function<void(DWORD)>& whileRunning = nullptr) {
        DeleteLogs();
        RunResult r = RunSievo(key.Args() + L"/Log", 120000, whileRunning);
        EXPECT_FALSE(r.timedOut);
        return ReadLogLines(MainLogPath());
    }
    static int Lines(const std::vector<std::wstring>& log, const std::wstring& a, const std::wstring& b) {
        int n = 0;
        for (const std::wstring& line : log)
            if (line.find(a) != std::wstring::npos && line.find(b) != std::wstring::npos) ++n;
        return n;
    }
    TestKey key;
    TempDir dir;
    std::wstring folder;
};

TEST_F(MarkRecheck, ScanKilledDuringASlowProbeCostsThePluginNothing) {
    std::wstring echo = dir.Copy(PluginPath(L"effect_with_editor"), L"plugins\\A_Echo.dll");
    std::wstring slow = dir.Copy(PluginPath(L"misbehaves_as_told"), L"plugins\\B_Slow.dll");
    dir.Write(L"plugins\\B_Slow.dll.how", "slow");
    std::wstring synth = dir.Copy(PluginPath(L"synth_wants_midi"), L"plugins\\C_Synth.dll");

    // The user ends the task while the slow plug-in is in effOpen.
    Scan([&](DWORD pid) {
        auto log = ReadLogLines(MainLogPath());
        if (log.empty() || log.back().find(L"effOpen") == std::wstring::npos) return;
        if (Lines(log, L"---- Loading VST plugin", L"B_Slow.dll") == 0) return;
        if (HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, pid)) {
            TerminateProcess(process, 1);
            CloseHandle(process);
        }
    });
    ASSERT_EQ(IsBad(slow), 1u) << "killed inside the plug-in: the mark stands for now";
    EXPECT_NE(key.Text(L"SievoProbing"), L"-");

    auto log = Scan();
    EXPECT_EQ(Lines(log, L"A scan ended while it probed", L"B_Slow.dll: probing it again in a sandboxed child"), 1);
    EXPECT_EQ(Lines(log, L"B_Slow.dll scanned cleanly in the sandbox", L"no longer marked bad"), 1);
    EXPECT_EQ(Shown(echo), L"isBad=0 FullName=Echo Chamber");
    EXPECT_EQ(Shown(slow), L"isBad=0 FullName=Untidy Effect");
    EXPECT_EQ(Shown(synth), L"isBad=0 FullName=Pluck Synth");
    EXPECT_EQ(key.Text(L"SievoProbing"), L"-") << "cleared once the probe is over";

    // Nothing left to look at again.
    log = Scan();
    EXPECT_EQ(Lines(log, L"probing it", L"sandboxed child"), 0);
}

TEST_F(MarkRecheck, CrasherStaysBadUntilItsFileChanges) {
    std::wstring killer = dir.Copy(PluginPath(L"exit_in_dllmain"), L"plugins\\A_Killer.dll");
    std::wstring echo = dir.Copy(PluginPath(L"effect_with_editor"), L"plugins\\B_Echo.dll");

    Scan();  // ends in the plug-in's load
    ASSERT_EQ(IsBad(killer), 1u);

    // The scan never finished, so its mark is tried once in a child, which dies too.
    auto log = Scan();
    EXPECT_EQ(Lines(log, L"A scan ended while it probed", L"A_Killer.dll"), 1);
    EXPECT_EQ(Lines(log, L"A_Killer.dll failed in the sandbox too", L"stays marked bad"), 1);
    EXPECT_TRUE(Contains(log, L"SIEVO: Known bad VST plugin skipped"));
    EXPECT_EQ(IsBad(killer), 1u);
    EXPECT_EQ(Shown(echo), L"isBad=0 FullName=Echo Chamber");

    // Confirmed: later scans skip it without a child.
    log = Scan();
    EXPECT_EQ(Lines(log, L"probing it", L"sandboxed child"), 0);
    EXPECT_TRUE(Contains(log, L"SIEVO: Known bad VST plugin skipped"));

    // An update replaces the file: one more chance, and it is fixed.
    ASSERT_TRUE(CopyFileW(PluginPath(L"synth_wants_midi").c_str(), killer.c_str(), FALSE));
    log = Scan();
    EXPECT_TRUE(Contains(
        log, L"SIEVO: Known bad VST plugin changed since it was marked: probing it once in a sandboxed child"));
    EXPECT_EQ(Shown(killer), L"isBad=0 FullName=Pluck Synth");
}

}  // namespace
