// Plug-ins whose code outlives the call that ran it (windows, timers and
// threads left behind) or that write past the text buffer they were given:
// the plug-ins scanned before and after them keep complete, good records and
// only the culprit's record says what it did.
#include <gtest/gtest.h>

#include "TestSupport.h"

using namespace sievo_test;

namespace {

const wchar_t kLoadErrorCaption[] = L"Tarnwell VST Scan: VST Plug-in Load Error";
constexpr int kDisable = 2;

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
        int dialogs = 0;
        std::wstring name, step;
        RunResult r = RunSievo(key.Args() + L"/Log", 120000, [&](DWORD pid) {
            HWND dialog = FindProcessWindow(pid, kLoadErrorCaption);
            if (!dialog || ControlText(dialog, 1001).empty()) return;
            ++dialogs;
            name = ControlText(dialog, 1001);
            step = ControlText(dialog, 1002);
            ClickButton(dialog, kDisable);
            Sleep(200);
        });
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
            SCOPED_TRACE(Narrow(e.module));
            std::wstring record = L"Inventory\\" + TestKey::RecordKey(e.module);
            DWORD isBad = 9, isVst = 9;
            std::wstring fullName;
            EXPECT_TRUE(key.GetDword(L"isBad", &isBad, record.c_str()));
            key.GetDword(L"isVst", &isVst, record.c_str());
            EXPECT_EQ(isBad, e.isBad);
            if (e.isBad) continue;
            EXPECT_EQ(isVst, 1u);
            EXPECT_TRUE(key.GetString(L"FullName", &fullName, record.c_str()));
            EXPECT_EQ(fullName, e.fullName);
            EXPECT_TRUE(key.GetString(L"clsidPropsMD5", &fullName, record.c_str())) << "a complete record";
        }
        EXPECT_EQ(dialogs, c.faults ? 1 : 0);
        if (c.faults) {
            EXPECT_EQ(name, L"B_Culprit");
            EXPECT_EQ(step, c.step);
        }
        if (std::string(c.how) == "thread") {
            EXPECT_NE(GetFileAttributesW((culprit + L".woke").c_str()), INVALID_FILE_ATTRIBUTES)
                << "the thread ran to its end in code that stayed mapped";
        }
    }
}

}  // namespace
