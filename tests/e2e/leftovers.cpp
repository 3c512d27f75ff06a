// Plug-ins whose code outlives the call that ran it (windows, timers and
// threads left behind) or that write past the text buffer they were given:
// the plug-ins scanned before and after them keep complete, good records and
// only the culprit's record says what it did.
#include <gtest/gtest.h>

#include "TestSupport.h"

using namespace sievo_test;

namespace {

struct Culprit {
    const char* how;
    bool faults;           // reported in the load-error dialog, then disabled
    const wchar_t* step;   // what the dialog names
    const wchar_t* noted;  // the log line that names what it left behind
};

TEST(Leftovers, NeighboursOfAnUntidyPluginKeepTheirRecords) {
    const Culprit culprits[] = {
        {"window", false, L"", L"B_Culprit.dll left 1 window(s) or timer(s) behind: removed"},
        {"timer", false, L"", L"B_Culprit.dll left 1 window(s) or timer(s) behind: removed"},
        {"thread", false, L"", L"B_Culprit.dll still runs a thread of its own: kept loaded"},
        {"unstarted", false, L"", L"B_Culprit.dll still runs a thread of its own: kept loaded"},
        {"overrun", true, L"effGetEffectName", nullptr},
    };
    for (const Culprit& c : culprits) {
        SCOPED_TRACE(c.how);
        TestKey key;
        TempDir dir;
        std::wstring folder = dir.Make(L"plugins");
        key.AddScanPath(folder);
        // File-system order: a good one, the culprit, a slow good one (during
        // whose probe whatever the culprit left would strike), a good one.
        std::wstring before = dir.Copy(PluginPath(L"effect_with_editor"), L"plugins\\A_Before.dll");
        std::wstring culprit = dir.Copy(PluginPath(L"misbehaves_as_told"), L"plugins\\B_Culprit.dll");
        dir.Write(L"plugins\\B_Culprit.dll.how", c.how);
        std::wstring slow = dir.Copy(PluginPath(L"misbehaves_as_told"), L"plugins\\C_Slow.dll");
        dir.Write(L"plugins\\C_Slow.dll.how", "slow");
        std::wstring after = dir.Copy(PluginPath(L"synth_wants_midi"), L"plugins\\D_After.dll");

        DeleteLogs();
        LoadErrors seen;
        RunResult r = RunAnswering(key.Args() + L"/Log", kDisablePlugin, &seen);
        ASSERT_FALSE(r.timedOut);
        auto log = ReadLogLines(MainLogPath());
        int exceptions = 0, noted = 0, leftovers = 0;
        for (const std::wstring& line : log) {
            if (line.rfind(L"SIEVO: Exception in function", 0) == 0) ++exceptions;
            if (c.noted && line.find(c.noted) != std::wstring::npos) ++noted;
            if (line.find(L"behind: removed") != std::wstring::npos || line.find(L"kept loaded") != std::wstring::npos)
                ++leftovers;
        }
        EXPECT_EQ(noted, c.noted ? 1 : 0);
        EXPECT_EQ(leftovers, c.noted ? 1 : 0) << "the tidy plug-ins left nothing";
        EXPECT_EQ(exceptions, c.faults ? 1 : 0) << "only the culprit's own fault, and the scan went on";

        struct Expect {
            std::wstring module;
            const wchar_t* fullName;
            DWORD isBad;
        };
        const Expect expected[] = {
            {before, L"Echo Chamber", 0},
            {culprit, c.faults ? L"" : L"Untidy Effect", c.faults ? 1u : 0u},
            {slow, L"Untidy Effect", 0},
            {after, L"Pluck Synth", 0},
        };
        for (const Expect& e : expected) {
            const std::wstring record = TestKey::Record(e.module);
            EXPECT_EQ(key.Show(record, e.isBad ? L"isBad" : L"isBad isVst FullName"),
                      e.isBad ? L"isBad=1" : L"isBad=0 isVst=1 FullName=" + std::wstring(e.fullName))
                << Narrow(e.module);
            EXPECT_TRUE(e.isBad || key.Text(L"clsidPropsMD5", record.c_str()) != L"-") << "a complete record";
        }
        EXPECT_EQ(seen.dialogs, c.faults ? 1 : 0);
        EXPECT_EQ(seen.name, c.faults ? L"B_Culprit" : L"");
        EXPECT_EQ(seen.step, c.step);
        if (std::string(c.how) == "thread") {
            EXPECT_NE(GetFileAttributesW((culprit + L".woke").c_str()), INVALID_FILE_ATTRIBUTES)
                << "the thread ran to its end in code that stayed mapped";
        }
    }
}

}  // namespace
