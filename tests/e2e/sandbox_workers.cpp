// Sandbox workers: a sandboxing scan hands its modules to a few long-lived
// worker processes instead of starting a child for each. Whatever a plug-in
// does to its worker, the scan goes on in a fresh one; and however the
// workers' modules interleave, the host reads the same records, metrics and
// final notifications as from one worker.
#include <gtest/gtest.h>
#include <windows.h>
// after windows.h
#include <tlhelp32.h>

#include <algorithm>

#include "TestSupport.h"
#include "tools/testhost/TestHostClient.h"

using namespace sievo_test;

namespace {

const wchar_t kLoadErrorCaption[] = L"Tarnwell VST Scan: VST Plug-in Load Error";
constexpr int kDisable = 2;

std::wstring Lower(std::wstring s) {
    CharLowerBuffW(s.data(), static_cast<DWORD>(s.size()));
    return s;
}

int CountStarting(const std::vector<std::wstring>& lines, const std::wstring& start, const std::wstring& part = L"") {
    int n = 0;
    for (const std::wstring& line : lines)
        n += line.rfind(start, 0) == 0 && line.find(part) != std::wstring::npos ? 1 : 0;
    return n;
}

int WorkerStarts() {
    return CountStarting(ReadLogLines(MainLogPath()), L"SIEVO: Sandbox worker ", L" started (process ");
}

// The scan's own worker processes.
void KillChildrenOf(DWORD pid) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
        if (entry.th32ParentProcessID != pid) continue;
        if (HANDLE child = OpenProcess(PROCESS_TERMINATE, FALSE, entry.th32ProcessID)) {
            TerminateProcess(child, 9);
            CloseHandle(child);
        }
    }
    CloseHandle(snapshot);
}

class Workers : public ::testing::Test {
protected:
    void SetUp() override {
        DeleteLogs();
        folder = dir.Make(L"plugins");
        key.AddScanPath(folder);
        key.SetDword(L"scanInSandbox", 1);
        key.SetDword(L"sandboxWorkers", 1);
        key.SetDword(L"sandboxTimeout", 5);
    }
    std::wstring Add(const wchar_t* plugin, const std::wstring& name) {
        return dir.Copy(PluginPath(plugin), L"plugins\\" + name);
    }
    static DWORD Value(const TestKey& k, const std::wstring& module, const wchar_t* name) {
        DWORD v = 0xFFFFFFFF;
        k.GetDword(name, &v, (L"Inventory\\" + TestKey::RecordKey(module)).c_str());
        return v;
    }
    static DWORD Counter(const TestKey& k, const wchar_t* name) {
        DWORD v = 0xFFFFFFFF;
        k.GetDword(name, &v, L"Inventory");
        return v;
    }
    std::wstring LoggedPath(const std::wstring& module) const { return Lower(folder) + module.substr(folder.size()); }
    TestKey key;
    TempDir dir;
    std::wstring folder;
};

// One worker, so the count of fresh ones is exact: it ends its process,
// is stopped at the time limit, retires after a contained fault; the good
// modules between them are done by whichever worker is up.
TEST_F(Workers, AFreshWorkerAfterEveryMishap) {
    std::vector<std::wstring> good = {
        Add(L"effect_with_editor", L"A_Echo.dll"), Add(L"effect_with_editor", L"C_Echo.dll"),
        Add(L"effect_with_editor", L"E_Echo.dll"), Add(L"effect_with_editor", L"G_Echo.dll")};
    std::wstring exits = Add(L"exits_in_entry", L"B_Exit.dll");
    std::wstring hang = Add(L"hang_in_entry", L"D_Hang.dll");
    std::wstring crash = Add(L"crash_in_open", L"F_Crash.dll");
    int dialogs = 0;
    RunResult r = RunSievo(key.Args() + L"/Background/Log", 120000, [&](DWORD) {
        HWND dialog = FindWindowW(nullptr, kLoadErrorCaption);  // the worker's, another process
        if (dialog && !ControlText(dialog, 1001).empty()) {
            ++dialogs;
            ClickButton(dialog, kDisable);
            Sleep(200);
        }
    });
    ASSERT_FALSE(r.timedOut);
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_EQ(dialogs, 1);
    for (const std::wstring& module : good) {
        EXPECT_EQ(Value(key, module, L"isBad"), 0u) << Narrow(module);
        EXPECT_EQ(Value(key, module, L"isVst"), 1u) << Narrow(module);
    }
    for (const std::wstring& module : {exits, hang, crash}) {
        EXPECT_EQ(Value(key, module, L"isBad"), 1u) << Narrow(module);
        EXPECT_EQ(Value(key, module, L"touch"), 1u) << Narrow(module) << ": kept for the next scan to skip";
    }
    EXPECT_EQ(Counter(key, L"PluginsFound"), 5u) << "the crashing plug-in was found before it crashed";
    EXPECT_EQ(Counter(key, L"PluginsScanned"), 4u);

    auto log = ReadLogLines(MainLogPath());
    EXPECT_TRUE(Contains(log, L"SIEVO: Sandbox worker ended while it scanned " + LoggedPath(exits)));
    EXPECT_TRUE(Contains(log, L"SIEVO: Sandboxed scan of " + LoggedPath(hang) + L" stopped after 5 seconds"));
    EXPECT_EQ(WorkerStarts(), 4) << "A B | C D | E F | G";
    auto workers = ReadLogLines(SandboxLogPath());
    EXPECT_EQ(CountStarting(workers, L"SIEVO: Sandbox worker ", L"retires after 2 module(s): a plug-in fault"), 1);
    EXPECT_EQ(CountStarting(workers, L"VST to scan - "), 7);
}

// Killed from outside in the middle of a module that would never end (no
// time limit): the module counts as crashed and the next gets a new worker.
TEST_F(Workers, AWorkerKilledMidModule) {
    key.SetDword(L"sandboxTimeout", 0);
    std::wstring before = Add(L"effect_with_editor", L"A_Echo.dll");
    std::wstring spin = Add(L"misbehaves_as_told", L"B_Spin.dll");
    dir.Write(L"plugins\\B_Spin.dll.how", "spin");
    std::wstring after = Add(L"effect_with_editor", L"C_Echo.dll");
    bool killed = false;
    RunResult r = RunSievo(key.Args() + L"/Background/Log", 120000, [&](DWORD pid) {
        if (!killed && Contains(ReadLogLines(SandboxLogPath()), L"VST to scan - " + LoggedPath(spin))) {
            Sleep(300);  // into the plug-in's code
            KillChildrenOf(pid);
            killed = true;
        }
    });
    ASSERT_FALSE(r.timedOut);
    ASSERT_TRUE(killed);
    EXPECT_EQ(Value(key, spin, L"isBad"), 1u);
    EXPECT_EQ(Value(key, spin, L"touch"), 1u);
    EXPECT_EQ(Value(key, before, L"isVst"), 1u);
    EXPECT_EQ(Value(key, after, L"isVst"), 1u);
    EXPECT_EQ(Counter(key, L"PluginsScanned"), 2u);
    EXPECT_TRUE(
        Contains(ReadLogLines(MainLogPath()), L"SIEVO: Sandbox worker ended while it scanned " + LoggedPath(spin)));
    EXPECT_EQ(WorkerStarts(), 2);
}

// The folder is an internal and a user folder at once, so every module
// stands twice in the candidate list. One worker and two leave the same
// records and metrics, and the host the same notifications; no module is
// probed twice, and workers serve more than one module each.
TEST_F(Workers, OneOrTwoWorkersLeaveTheSameInventory) {
    key.AddInternalPath(folder);
    // The slow one first: its second listing comes while it is still probed.
    std::vector<std::wstring> modules = {Add(L"misbehaves_as_told", L"A_Slow.dll"),
                                         Add(L"effect_with_editor", L"B_Echo.dll"),
                                         Add(L"exits_in_entry", L"C_Exit.dll"),
                                         Add(L"shell_three", L"D_Shell.dll"),
                                         dir.Copy(PluginDir() + L"\\single_component.vst3", L"plugins\\E_Gain.vst3"),
                                         Add(L"synth_wants_midi", L"F_Synth.dll"),
                                         Add(L"not_a_plugin", L"G_Readme.dll")};
    dir.Write(L"plugins\\A_Slow.dll.how", "slow");

    struct Outcome {
        std::map<std::wstring, std::map<std::wstring, std::vector<BYTE>>> records;
        std::vector<DWORD> metrics;
        std::vector<std::wstring> texts;
        size_t posts = 0;
    };
    auto scan = [&](const TestKey& k, DWORD workers) {
        k.AddScanPath(folder);
        k.AddInternalPath(folder);
        k.SetDword(L"scanInSandbox", 1);
        k.SetDword(L"sandboxWorkers", workers);
        DeleteLogs();
        testhost::Report r = testhost::RunTestHost(dir.Path(), L"", k.Args() + L"/Log", 120000);
        EXPECT_TRUE(r.read);
        EXPECT_EQ(r.sievoExitCode, 0u);
        Outcome o;
        for (const std::wstring& name : k.InventoryKeys())
            o.records[Lower(name)] = k.Values((L"Inventory\\" + name).c_str());
        for (const wchar_t* counter : {L"PluginsFound", L"PluginsScanned", L"PluginsDeleted"})
            o.metrics.push_back(Counter(k, counter));
        o.texts = r.Texts();
        std::sort(o.texts.begin(), o.texts.end());  // the workers' own notices come in any order
        o.posts = r.Posts().size();

        auto workerLines = ReadLogLines(SandboxLogPath());
        for (const std::wstring& module : modules)  // a shell is probed at every listing, one after the other
            EXPECT_EQ(CountStarting(workerLines, L"VST to scan - " + LoggedPath(module)), module == modules[3] ? 2 : 1)
                << Narrow(module);
        int starts = WorkerStarts();
        EXPECT_LE(starts, static_cast<int>(workers) + 1) << "one more for the module that ended its worker";
        EXPECT_LT(starts, static_cast<int>(modules.size()));
        EXPECT_EQ(Value(k, modules[0], L"isBad"), 0u);
        EXPECT_EQ(Value(k, modules[2], L"isBad"), 1u);
        return o;
    };
    Outcome one = scan(key, 1);
    TestKey other;
    Outcome two = scan(other, 2);

    ASSERT_EQ(one.records.size(), 10u) << "7 modules and 3 shell members";
    EXPECT_EQ(one.records, two.records);
    // The workers' sums: 7 plug-ins and the shell's 3 found again at its
    // second listing; the scan adds the 4 other plug-ins listed again.
    EXPECT_EQ(one.metrics, (std::vector<DWORD>{10, 7, 0}));
    EXPECT_EQ(one.metrics, two.metrics);
    EXPECT_EQ(one.texts, two.texts);
    EXPECT_EQ(one.posts, two.posts);
    EXPECT_EQ(std::count(one.texts.begin(), one.texts.end(),
                         L"Scan complete.\n14 plugins found (7 new, 0 removed, 0 errors)."),
              1);
}

}  // namespace
