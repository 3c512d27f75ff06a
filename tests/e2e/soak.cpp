// Scans killed at random moments must never cost a present module its record
// for good: one clean scan after many interrupted ones leaves every present
// good module recorded completely, every crasher marked bad, and no record of
// a removed one.
#include <gtest/gtest.h>

#include <random>

#include "TestSupport.h"

using namespace sievo_test;

namespace {

struct Module {
    const wchar_t* plugin;  // source in the plug-in folder
    const wchar_t* file;    // name in the scan folder
    const wchar_t* shown;   // its record: "isBad=1" (a crasher), "isVst=0", or a good one's name
    const char* how = "";   // the misbehaviour of misbehaves_as_told
    bool present = true;
};

TEST(Soak, InterruptedScansNeverLoseARecord) {
    std::mt19937 random(20261206);
    TestKey key;
    TempDir dir;
    std::wstring folder = dir.Make(L"plugins");
    key.AddScanPath(folder);
    std::vector<Module> modules = {
        {L"effect_with_editor", L"Echo1.dll", L"Echo Chamber"},
        {L"effect_with_editor", L"Echo2.dll", L"Echo Chamber"},
        {L"synth_wants_midi", L"Pluck1.dll", L"Pluck Synth"},
        {L"load_recorder", L"Recorder.dll", L"Load Recorder"},
        {L"effect_with_editor", L"sub\\Echo3.dll", L"Echo Chamber"},
        {L"synth_wants_midi", L"sub\\Pluck3.dll", L"Pluck Synth"},
        {L"not_a_plugin", L"Helper1.dll", L"isVst=0"},
        {L"not_a_plugin", L"sub\\Helper2.dll", L"isVst=0"},
        {L"exit_in_dllmain", L"Killer.dll", L"isBad=1"},
        {L"crash_in_open", L"Crash.dll", L"isBad=1"},
        {L"misbehaves_as_told", L"Window.dll", L"Untidy Effect", "window"},
        {L"misbehaves_as_told", L"sub\\Thread.dll", L"Untidy Effect", "thread"},
        {L"misbehaves_as_told", L"Slow.dll", L"Untidy Effect", "slow"},
        {L"misbehaves_as_told", L"Overrun.dll", L"isBad=1", "overrun"},
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
        const std::wstring shown = m.shown;
        if (!m.present) {
            EXPECT_FALSE(key.Exists(record.c_str())) << "a removed module's record is swept";
        } else if (shown.find(L'=') != std::wstring::npos) {
            EXPECT_EQ(key.Show(record, shown.substr(0, shown.find(L'=')).c_str()), shown);
        } else {
            EXPECT_EQ(key.Show(record, L"isVst isBad FullName"), L"isVst=1 isBad=0 FullName=" + shown);
            EXPECT_NE(key.Text(L"clsidPropsMD5", record.c_str()), L"-") << "a complete record";
        }
    }
}

}  // namespace
