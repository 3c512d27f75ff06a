// Plug-ins that fault while they are scanned, or whose code outlives the
// call: the user decides in the load-error dialog, the scan goes on, and the
// modules around the culprit keep complete, good records.
#include <gtest/gtest.h>

#include "TestSupport.h"

using namespace sievo_test;

namespace {

const wchar_t kException[] = L"SIEVO: Exception in function [Load VST Plugin], failure point[Load VST Plugin]";

struct Crasher {
    const wchar_t* plugin;
    const wchar_t* step;  // the step label the dialog shows
    const wchar_t* name;  // the name it shows: the file's until the plug-in told its own
    const wchar_t* logged = kException;
    bool sandboxed = false;  // in background mode the dialog comes from the child
    bool followed = true;    // by a good module (a corrupted heap would take that down too)
};

// One row per kind of fault; the step labels of every faulting call are
// checked by the probe's unit tests.
TEST(Crashes, EachFaultIsReportedAndTheScanGoesOn) {
    const Crasher crashers[] = {
        {L"crash_in_entry", L"Main Call", L"A_crash_in_entry"},
        {L"crash_in_close", L"Close Effect", L"crash_in_close"},
        {L"throws_in_get_program", L"Get Program", L"A_throws_in_get_program"},
        {L"recurses_forever", L"Set Block Size", L"A_recurses_forever"},
        {L"heap_corruptor", L" - HeapValidate: effOpen", L"A_heap_corruptor",
         L"SIEVO: Heap corrupted after calling dispatcher!", false, false},
        {L"crash_in_open", L"Open", L"A_crash_in_open", kException, true},
    };
    for (const Crasher& c : crashers) {
        SCOPED_TRACE(Narrow(c.plugin) + (c.sandboxed ? " sandboxed" : ""));
        TestKey key;
        TempDir dir;
        key.AddScanPath(dir.Make(L"plugins"));
        if (c.sandboxed) key.SetDword(L"scanInSandbox", 1);
        // File-system order puts A_ first: the good module is scanned after the fault.
        std::wstring crasher = dir.Copy(PluginPath(c.plugin), L"plugins\\A_" + std::wstring(c.plugin) + L".dll");
        if (c.followed) dir.Copy(PluginPath(L"effect_with_editor"), L"plugins\\B_Echo.dll");
        DeleteLogs();
        LoadErrors seen;
        RunResult r = RunAnswering(key.Args() + (c.sandboxed ? L"/Background/Log" : L"/Log"), kDisablePlugin, &seen);
        ASSERT_FALSE(r.timedOut);
        EXPECT_EQ(r.exitCode, 0u);
        EXPECT_EQ(seen.dialogs, 1);
        EXPECT_EQ(seen.name, c.name);
        EXPECT_EQ(seen.step, c.step);
        EXPECT_TRUE(Contains(ReadLogLines(c.sandboxed ? SandboxLogPath() : MainLogPath()), c.logged));
        EXPECT_EQ(key.Show(TestKey::Record(crasher), L"isBad"), L"isBad=1") << "disabled by the user";
        if (!c.followed) continue;
        EXPECT_EQ(key.Show(TestKey::Record(dir.Path() + L"\\plugins\\B_Echo.dll"), L"isVst"), L"isVst=1")
            << "the next module was scanned";
        EXPECT_NE(key.Dword(L"PluginsFound", L"Inventory"), TestKey::kMissing) << "metrics written at the end";
    }
}

struct Culprit {
    const char* how;
    const wchar_t* step;   // what the load-error dialog names, if it faults
    const wchar_t* noted;  // the log line that names what it left behind
};

TEST(Leftovers, NeighboursOfAnUntidyPluginKeepTheirRecords) {
    const Culprit culprits[] = {
        {"window", L"", L"B_Culprit.dll left 1 window(s) or timer(s) behind: removed"},
        {"timer", L"", L"B_Culprit.dll left 1 window(s) or timer(s) behind: removed"},
        {"thread", L"", L"B_Culprit.dll still runs a thread of its own: kept loaded"},
        {"unstarted", L"", L"B_Culprit.dll still runs a thread of its own: kept loaded"},
        {"overrun", L"effGetEffectName", nullptr},
    };
    for (const Culprit& c : culprits) {
        SCOPED_TRACE(c.how);
        const bool faults = *c.step != 0;
        TestKey key;
        TempDir dir;
        key.AddScanPath(dir.Make(L"plugins"));
        // File-system order: a good one, the culprit, a slow good one (during
        // whose probe whatever the culprit left would strike), a good one.
        auto add = [&](const wchar_t* plugin, const std::wstring& file) {
            return dir.Copy(PluginPath(plugin), L"plugins\\" + file);
        };
        std::wstring before = add(L"effect_with_editor", L"A_Before.dll");
        std::wstring culprit = add(L"misbehaves_as_told", L"B_Culprit.dll");
        std::wstring slow = add(L"misbehaves_as_told", L"C_Slow.dll");
        std::wstring after = add(L"synth_wants_midi", L"D_After.dll");
        dir.Write(L"plugins\\B_Culprit.dll.how", c.how);
        dir.Write(L"plugins\\C_Slow.dll.how", "slow");
        key.SetDword(L"registerAsTempoBasedEffect", 1, L"Defaults");  // but never for an instrument
        DeleteLogs();
        LoadErrors seen;
        ASSERT_FALSE(RunAnswering(key.Args() + L"/Log", kDisablePlugin, &seen).timedOut);
        int exceptions = 0, noted = 0, leftovers = 0;
        for (const std::wstring& line : ReadLogLines(MainLogPath())) {
            exceptions += line.rfind(L"SIEVO: Exception in function", 0) == 0;
            noted += c.noted && line.find(c.noted) != std::wstring::npos;
            leftovers +=
                line.find(L"behind: removed") != std::wstring::npos || line.find(L"kept loaded") != std::wstring::npos;
        }
        EXPECT_EQ(noted, c.noted ? 1 : 0);
        EXPECT_EQ(leftovers, c.noted ? 1 : 0) << "the tidy plug-ins left nothing";
        EXPECT_EQ(exceptions, faults ? 1 : 0) << "only the culprit's own fault, and the scan went on";
        EXPECT_EQ(seen.dialogs, faults ? 1 : 0);
        EXPECT_EQ(seen.name, faults ? L"B_Culprit" : L"");
        EXPECT_EQ(seen.step, c.step);

        const std::pair<std::wstring, const wchar_t*> good[] = {
            {before, L"Echo Chamber"}, {culprit, L"Untidy Effect"}, {slow, L"Untidy Effect"}, {after, L"Pluck Synth"}};
        for (const auto& g : good) {
            const std::wstring record = TestKey::Record(g.first);
            if (faults && g.first == culprit) {
                EXPECT_EQ(key.Show(record, L"isBad"), L"isBad=1");
                continue;
            }
            EXPECT_EQ(key.Show(record, L"isBad isVst FullName"), L"isBad=0 isVst=1 FullName=" + std::wstring(g.second))
                << Narrow(g.first);
            EXPECT_NE(key.Text(L"clsidPropsMD5", record.c_str()), L"-") << "a complete record";
        }
        EXPECT_EQ(key.Show(TestKey::Record(after), L"registerAsSynth registerAsTempoBasedEffect"),
                  L"registerAsSynth=1 registerAsTempoBasedEffect=0");
        EXPECT_TRUE(std::string(c.how) != "thread" ||
                    GetFileAttributesW((culprit + L".woke").c_str()) != INVALID_FILE_ATTRIBUTES)
            << "the thread ran to its end in code that stayed mapped";
    }
}

}  // namespace
