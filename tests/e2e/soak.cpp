// Scans killed at random moments must never cost a present module its record
// for good: after many interrupted scans one clean scan, which does not retry
// failed modules, leaves every present good module recorded completely and
// not marked bad, every crasher marked bad, and no record of a removed one.
// Among the good modules are untidy ones that leave windows, timers and
// threads behind, and a slow one that is often probed when the kill comes.
#include <gtest/gtest.h>

#include <random>

#include "TestSupport.h"

using namespace sievo_test;

namespace {

enum Kind { Good, NotAPlugin, Crasher };
struct Module {
    const wchar_t* plugin;  // source in the plug-in folder
    const wchar_t* file;    // name in the scan folder
    Kind kind;
    const wchar_t* name;   // the name a complete record carries
    const char* how = "";  // the misbehaviour of misbehaves_as_told
    bool present = true;
};

TEST(Soak, InterruptedScansNeverLoseARecord) {
    std::mt19937 random(20261206);
    TestKey key;
    TempDir dir;
    std::wstring folder = dir.Make(L"plugins");
    key.AddScanPath(folder);
    std::vector<Module> modules = {
        {L"effect_with_editor", L"Echo1.dll", Good, L"Echo Chamber"},
        {L"effect_with_editor", L"Echo2.dll", Good, L"Echo Chamber"},
        {L"synth_wants_midi", L"Pluck1.dll", Good, L"Pluck Synth"},
        {L"synth_wants_midi", L"Pluck2.dll", Good, L"Pluck Synth"},
        {L"load_recorder", L"Recorder.dll", Good, L"Load Recorder"},
        {L"effect_with_editor", L"sub\\Echo3.dll", Good, L"Echo Chamber"},
        {L"synth_wants_midi", L"sub\\Pluck3.dll", Good, L"Pluck Synth"},
        {L"not_a_plugin", L"Helper1.dll", NotAPlugin, L""},
        {L"not_a_plugin", L"sub\\Helper2.dll", NotAPlugin, L""},
        {L"exit_in_dllmain", L"Killer.dll", Crasher, L""},
        {L"crash_in_open", L"Crash.dll", Crasher, L""},
        {L"misbehaves_as_told", L"Window.dll", Good, L"Untidy Effect", "window"},
        {L"misbehaves_as_told", L"Timer.dll", Good, L"Untidy Effect", "timer"},
        {L"misbehaves_as_told", L"sub\\Thread.dll", Good, L"Untidy Effect", "thread"},
        {L"misbehaves_as_told", L"Slow.dll", Good, L"Untidy Effect", "slow"},
        {L"misbehaves_as_told", L"Overrun.dll", Crasher, L"", "overrun"},
    };
    auto copy = [&](const Module& m) { return dir.Copy(PluginPath(m.plugin), L"plugins\\" + std::wstring(m.file)); };
    for (const Module& m : modules) {
        copy(m);
        if (*m.how) dir.Write(L"plugins\\" + std::wstring(m.file) + L".how", m.how);
    }

    // Every round probes every module, so that kills land inside probes.
    key.SetDword(L"rescanExisting", 1);
    int rounds = 0;
    for (DWORD start = GetTickCount(); rounds < 40 && GetTickCount() - start < 150000; ++rounds) {
        // Now and then a module leaves or comes back between scans.
        Module& m = modules[random() % modules.size()];
        if (random() % 3 == 0) {
            if (m.present)
                DeleteFileW((folder + L"\\" + m.file).c_str());
            else
                copy(m);
            m.present = !m.present;
        }
        const DWORD killAfter = random() % 3000, runStart = GetTickCount();
        DeleteLogs();  // logged, so that the kills land between many more steps
        Sievo sievo(key.Args() + L"/Log");
        while (sievo.WaitExit(50) == 0xFFFFFFFF && GetTickCount() - runStart < killAfter)
            if (HWND dialog = FindWindowW(nullptr, kLoadErrorCaption)) ClickButton(dialog, kDisablePlugin);
    }
    EXPECT_GE(rounds, 10);

    // One clean scan: sandboxed, so the module that ends its process cannot
    // end this one; modules marked bad stay skipped unless their mark is one
    // the scanner itself does not trust.
    key.SetDword(L"scanInSandbox", 1);
    key.SetDword(L"rescanFailed", 0);
    key.SetDword(L"rescanExisting", 0);
    ASSERT_FALSE(RunAnswering(key.Args() + L"/Background", kDisablePlugin, nullptr, 180000).timedOut);
    for (const Module& m : modules) {
        SCOPED_TRACE(Narrow(m.file));
        std::wstring record = TestKey::Record(folder + L"\\" + m.file);
        if (!m.present) {
            EXPECT_FALSE(key.Exists(record.c_str())) << "a removed module's record is swept";
        } else if (m.kind == Good) {
            EXPECT_EQ(key.Show(record, L"isVst isBad FullName"), L"isVst=1 isBad=0 FullName=" + std::wstring(m.name));
            EXPECT_NE(key.Text(L"clsidPropsMD5", record.c_str()), L"-") << "a complete record";
        } else {
            EXPECT_EQ(key.Show(record, m.kind == Crasher ? L"isBad" : L"isVst"),
                      m.kind == Crasher ? L"isBad=1" : L"isVst=0");
        }
    }
}

}  // namespace
