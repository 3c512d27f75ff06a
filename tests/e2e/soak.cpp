// Scans killed at random moments must never cost a present module its record
// for good: after many interrupted scans one clean scan, which does not retry
// failed modules, leaves every present good module recorded completely and
// not marked bad, every crasher marked bad, and no record of a removed one.
// Among the good modules are untidy ones that leave windows, timers and
// threads behind, and a slow one that is often probed when the kill comes.
#include <gtest/gtest.h>

#include <random>
#include <set>

#include "TestSupport.h"

using namespace sievo_test;

namespace {

struct Module {
    enum Kind { Good, NotAPlugin, Crasher };
    Module(const wchar_t* p, const wchar_t* f, Kind k, const wchar_t* n, const char* h = "")
        : plugin(p), file(f), kind(k), name(n), how(h) {}
    std::wstring plugin;  // source in the plug-in folder
    std::wstring file;    // name in the scan folder
    Kind kind;
    std::wstring name;  // the name a complete record carries
    std::string how;    // the misbehaviour of misbehaves_as_told
    std::wstring path;
    bool present = false;
};

// Where the scan was when it was killed: the last thing its log says.
std::wstring KillPoint(const std::vector<std::wstring>& log) {
    if (log.empty()) return L"start-up";
    const std::wstring& last = log.back();
    if (last.rfind(L"SIEVO: ---- Loading", 0) == 0) return L"loading a module";
    if (last.rfind(L"SIEVO: ---- ", 0) == 0) return L"candidate " + last.substr(12, last.find(L':', 12) - 12);
    if (last.rfind(L"SIEVO: > dispatcher( ", 0) == 0) return L"in " + last.substr(21, last.find(L'=') - 21);
    if (last.rfind(L"SIEVO: < dispatcher", 0) == 0) return L"after a plug-in call";
    if (last.rfind(L"SIEVO: ", 0) == 0) return last.substr(7, 24);
    return last.substr(0, 16);
}

void AnswerLoadErrors() {
    if (HWND dialog = FindWindowW(nullptr, kLoadErrorCaption)) ClickButton(dialog, kDisablePlugin);
}

TEST(Soak, InterruptedScansNeverLoseARecord) {
    const unsigned seed = 20261206;
    const int maxRounds = 40;
    const DWORD budgetMs = 150000;
    std::mt19937 random(seed);

    TestKey key;
    TempDir dir;
    std::wstring folder = dir.Make(L"plugins");
    key.AddScanPath(folder);
    std::vector<Module> modules = {
        {L"effect_with_editor", L"Echo1.dll", Module::Good, L"Echo Chamber"},
        {L"effect_with_editor", L"Echo2.dll", Module::Good, L"Echo Chamber"},
        {L"synth_wants_midi", L"Pluck1.dll", Module::Good, L"Pluck Synth"},
        {L"synth_wants_midi", L"Pluck2.dll", Module::Good, L"Pluck Synth"},
        {L"load_recorder", L"Recorder.dll", Module::Good, L"Load Recorder"},
        {L"effect_with_editor", L"sub\\Echo3.dll", Module::Good, L"Echo Chamber"},
        {L"synth_wants_midi", L"sub\\Pluck3.dll", Module::Good, L"Pluck Synth"},
        {L"not_a_plugin", L"Helper1.dll", Module::NotAPlugin, L""},
        {L"not_a_plugin", L"sub\\Helper2.dll", Module::NotAPlugin, L""},
        {L"exit_in_dllmain", L"Killer.dll", Module::Crasher, L""},
        {L"crash_in_open", L"Crash.dll", Module::Crasher, L""},
        {L"misbehaves_as_told", L"Window.dll", Module::Good, L"Untidy Effect", "window"},
        {L"misbehaves_as_told", L"Timer.dll", Module::Good, L"Untidy Effect", "timer"},
        {L"misbehaves_as_told", L"sub\\Thread.dll", Module::Good, L"Untidy Effect", "thread"},
        {L"misbehaves_as_told", L"Slow.dll", Module::Good, L"Untidy Effect", "slow"},
        {L"misbehaves_as_told", L"Overrun.dll", Module::Crasher, L"", "overrun"},
    };
    for (Module& m : modules) {
        m.path = dir.Copy(PluginPath(m.plugin.c_str()), L"plugins\\" + m.file);
        if (!m.how.empty()) dir.Write(L"plugins\\" + m.file + L".how", m.how);
        m.present = true;
    }

    // Every round probes every module, so that kills land inside probes.
    key.SetDword(L"rescanExisting", 1);
    std::set<std::wstring> killPoints;
    int rounds = 0;
    DWORD start = GetTickCount();
    while (rounds < maxRounds && GetTickCount() - start < budgetMs) {
        ++rounds;
        // Now and then a module leaves or comes back between scans.
        Module& m = modules[random() % modules.size()];
        if (random() % 3 == 0) {
            if (m.present)
                DeleteFileW(m.path.c_str());
            else
                dir.Copy(PluginPath(m.plugin.c_str()), L"plugins\\" + m.file);
            m.present = !m.present;
        }
        DWORD killAfter = random() % 3000;
        DWORD runStart = GetTickCount();
        DeleteLogs();
        Sievo sievo(key.Args() + L"/Log");
        while (sievo.WaitExit(50) == 0xFFFFFFFF && GetTickCount() - runStart < killAfter) AnswerLoadErrors();
        sievo.Kill();
        killPoints.insert(KillPoint(ReadLogLines(MainLogPath())));
    }

    // One clean scan: sandboxed, so the module that ends its process cannot
    // end this one; modules marked bad stay skipped unless their mark is one
    // the scanner itself does not trust.
    key.SetDword(L"scanInSandbox", 1);
    key.SetDword(L"rescanFailed", 0);
    key.SetDword(L"rescanExisting", 0);
    RunResult clean = RunAnswering(key.Args() + L"/Background", kDisablePlugin, nullptr, 180000);
    ASSERT_FALSE(clean.timedOut);

    for (const Module& m : modules) {
        SCOPED_TRACE(Narrow(m.file));
        std::wstring record = TestKey::Record(folder + L"\\" + m.file);
        if (!m.present) {
            EXPECT_FALSE(key.Exists(record.c_str())) << "a removed module's record is swept";
            continue;
        }
        ASSERT_TRUE(key.Exists(record.c_str())) << "a present module keeps a record";
        switch (m.kind) {
            case Module::Good:
                EXPECT_EQ(key.Show(record, L"isVst isBad FullName"), L"isVst=1 isBad=0 FullName=" + m.name);
                EXPECT_NE(key.Text(L"clsidPropsMD5", record.c_str()), L"-") << "a complete record";
                break;
            case Module::NotAPlugin:
                EXPECT_EQ(key.Dword(L"isVst", record.c_str()), 0u);
                break;
            case Module::Crasher:
                EXPECT_EQ(key.Dword(L"isBad", record.c_str()), 1u);
                break;
        }
    }
    std::wcout << L"[ soak     ] seed " << seed << L", " << rounds << L" interrupted scans, " << killPoints.size()
               << L" distinct kill points:";
    for (const std::wstring& point : killPoints) std::wcout << L" [" << point << L"]";
    std::wcout << std::endl;
    EXPECT_GE(rounds, 10);
}

}  // namespace
