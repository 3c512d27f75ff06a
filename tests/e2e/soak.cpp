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

const wchar_t kLoadErrorCaption[] = L"Tarnwell VST Scan: VST Plug-in Load Error";

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

void AnswerLoadErrors(DWORD) {
    if (HWND dialog = FindWindowW(nullptr, kLoadErrorCaption)) ClickButton(dialog, 2);  // Disable Plug-in
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
        RunSievo(key.Args() + L"/Log", 30000, [&](DWORD pid) {
            AnswerLoadErrors(pid);
            if (GetTickCount() - runStart < killAfter) return;
            if (HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, pid)) {
                TerminateProcess(process, 9);
                CloseHandle(process);
            }
        });
        killPoints.insert(KillPoint(ReadLogLines(MainLogPath())));
    }

    // One clean scan: sandboxed, so the module that ends its process cannot
    // end this one; modules marked bad stay skipped unless their mark is one
    // the scanner itself does not trust.
    key.SetDword(L"scanInSandbox", 1);
    key.SetDword(L"rescanFailed", 0);
    key.SetDword(L"rescanExisting", 0);
    RunResult clean = RunSievo(key.Args() + L"/Background", 180000, AnswerLoadErrors);
    ASSERT_FALSE(clean.timedOut);

    std::vector<std::wstring> keys = key.InventoryKeys();
    for (const Module& m : modules) {
        SCOPED_TRACE(Narrow(m.file));
        std::wstring record = L"Inventory\\" + TestKey::RecordKey(folder + L"\\" + m.file);
        if (!m.present) {
            EXPECT_FALSE(key.Exists(record.c_str())) << "a removed module's record is swept";
            continue;
        }
        ASSERT_TRUE(key.Exists(record.c_str())) << "a present module keeps a record";
        DWORD isVst = 9, isBad = 9;
        key.GetDword(L"isVst", &isVst, record.c_str());
        key.GetDword(L"isBad", &isBad, record.c_str());
        std::wstring name;
        switch (m.kind) {
            case Module::Good:
                EXPECT_EQ(isVst, 1u);
                EXPECT_EQ(isBad, 0u);
                EXPECT_TRUE(key.GetString(L"FullName", &name, record.c_str()));
                EXPECT_EQ(name, m.name);
                EXPECT_TRUE(key.GetString(L"clsidPropsMD5", &name, record.c_str()));
                break;
            case Module::NotAPlugin:
                EXPECT_EQ(isVst, 0u);
                break;
            case Module::Crasher:
                EXPECT_EQ(isBad, 1u);
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
