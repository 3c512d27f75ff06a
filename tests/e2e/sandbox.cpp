// Sandboxed scans: a few long-lived worker processes probe the modules, so
// that a module that takes its process down or never returns costs only its
// worker; however the workers interleave, the host reads the same results.
#include <gtest/gtest.h>

#include <windows.h>
#include <tlhelp32.h>

#include <algorithm>

#include "TestSupport.h"
#include "tools/testhost/TestHostClient.h"

using namespace sievo_test;

namespace {

int CountStarting(const std::vector<std::wstring>& lines, const std::wstring& start, const std::wstring& part = L"") {
    return static_cast<int>(std::count_if(lines.begin(), lines.end(), [&](const std::wstring& line) {
        return line.rfind(start, 0) == 0 && line.find(part) != std::wstring::npos;
    }));
}

int WorkerStarts() {
    return CountStarting(ReadLogLines(MainLogPath()), L"SIEVO: Sandbox worker ", L" started (process ");
}

class Sandbox : public ::testing::Test {
protected:
    void SetUp() override {
        DeleteLogs();
        key.AddScanPath(folder);
        key.SetDword(L"scanInSandbox", 1);
    }
    std::wstring Add(const wchar_t* plugin, const std::wstring& name) {
        return dir.Copy(PluginPath(plugin), L"plugins\\" + name);
    }
    RunResult Scan(DWORD timeoutMs = 120000, const std::function<void(DWORD)>& whileRunning = nullptr) {
        return RunSievo(key.Args() + L"/Background/Log", timeoutMs, whileRunning);
    }
    static DWORD Value(const TestKey& k, const std::wstring& module, const wchar_t* name) {
        return k.Dword(name, TestKey::Record(module).c_str());
    }
    DWORD Value(const std::wstring& module, const wchar_t* name) const { return Value(key, module, name); }
    // Scan folders are kept in lower case, so logged paths are too (the file
    // names keep theirs).
    std::wstring Logged(const std::wstring& module) const {
        std::wstring lower = folder;
        CharLowerBuffW(lower.data(), static_cast<DWORD>(lower.size()));
        return lower + module.substr(folder.size());
    }
    TestKey key;
    TempDir dir;
    std::wstring folder = dir.Make(L"plugins");
};

// A bundle's folder cannot load, so the scan records it itself; the module
// inside wants COM on its thread.
TEST_F(Sandbox, BundleFolderIsRecordedWithoutAChild) {
    std::wstring inner =
        dir.Copy(PluginDir() + L"\\bundles\\separate_controller.vst3\\Contents\\x86_64-win\\separate_controller.vst3",
                 L"plugins\\Delay.vst3\\Contents\\x86_64-win\\Delay.vst3");
    std::wstring gain = dir.Copy(PluginDir() + L"\\single_component.vst3", L"plugins\\Gain.vst3");
    std::wstring effect = Add(L"effect_with_editor", L"Echo.dll");
    std::wstring bundle = Logged(folder + L"\\Delay.vst3");  // as the file search names it
    ASSERT_EQ(Scan().exitCode, 0u);
    EXPECT_EQ(key.Text(L"FullName", TestKey::Record(inner).c_str()), L"Separate Controller Delay");
    EXPECT_EQ(Value(gain, L"isVst3"), 1u);
    EXPECT_EQ(Value(effect, L"isVst"), 1u);
    EXPECT_EQ(key.Show(TestKey::Record(bundle), L"isVst3 touch"), L"isVst3=0 touch=1") << "the sweep keeps it";
    EXPECT_EQ(key.Counters(), L"PluginsFound=3 PluginsScanned=3 PluginsDeleted=0");
    auto children = ReadLogLines(SandboxLogPath());
    EXPECT_EQ(CountStarting(children, L"VST to scan - "), 3) << "one child a module, none for the folder";
    EXPECT_FALSE(Contains(children, L"VST to scan - " + bundle));

    // A child told to scan the module with the log off still sets COM up for
    // it (and leaves no log behind).
    std::wstring record = TestKey::Record(inner);
    auto recorded = key.Values(record.c_str());
    ASSERT_EQ(RegDeleteTreeW(HKEY_CURRENT_USER, key.Sub(record.c_str()).c_str()), ERROR_SUCCESS);
    DeleteLogs();
    ASSERT_FALSE(RunSievo(key.Args() + L"/Background/ScanVst:\"" + Logged(inner) + L"\"", 30000).timedOut);
    EXPECT_EQ(key.Values(record.c_str()), recorded);
    EXPECT_EQ(GetFileAttributesW(SandboxLogPath().c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(Sandbox, WithoutATimeLimitOfItsOwnAChildGetsTwoMinutes) {
    std::wstring spin = Add(L"misbehaves_as_told", L"A_Spin.dll");
    dir.Write(L"plugins\\A_Spin.dll.how", "spin");
    std::wstring effect = Add(L"effect_with_editor", L"B_Echo.dll");
    ASSERT_FALSE(Scan(300000).timedOut) << "a host's scan must end";
    EXPECT_EQ(Value(spin, L"isBad"), 1u);
    EXPECT_EQ(Value(effect, L"isVst"), 1u);
    EXPECT_TRUE(Contains(ReadLogLines(MainLogPath()),
                         L"SIEVO: Sandboxed scan of " + Logged(spin) + L" stopped after 120 seconds"));
}

// One worker, so the count of fresh ones is exact: it ends its process,
// is stopped at the time limit, retires after a contained fault; the good
// modules between them are done by whichever worker is up. The scan itself
// writes no record and logs no module: the workers do.
TEST_F(Sandbox, AFreshWorkerAfterEveryMishap) {
    key.SetDword(L"sandboxWorkers", 1);
    key.SetDword(L"sandboxTimeout", 5);
    std::vector<std::wstring> good = {
        Add(L"effect_with_editor", L"A_Echo.dll"), Add(L"effect_with_editor", L"C_Echo.dll"),
        Add(L"effect_with_editor", L"E_Echo.dll"), Add(L"effect_with_editor", L"G_Echo.dll")};
    std::wstring exits = Add(L"exits_in_entry", L"B_Exit.dll");
    std::wstring hang = Add(L"hang_in_entry", L"D_Hang.dll");
    std::wstring crash = Add(L"crash_in_open", L"F_Crash.dll");
    LoadErrors seen;  // the worker's dialog, from another process
    RunResult r = RunAnswering(key.Args() + L"/Background/Log", kDisablePlugin, &seen);
    ASSERT_FALSE(r.timedOut);
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_EQ(seen.dialogs, 1);
    for (const std::wstring& module : good)
        EXPECT_EQ(key.Show(TestKey::Record(module), L"isBad isVst"), L"isBad=0 isVst=1") << Narrow(module);
    for (const std::wstring& module : {exits, hang, crash})  // marked before the plug-in's code ran
        EXPECT_EQ(key.Show(TestKey::Record(module), L"isBad touch"), L"isBad=1 touch=1") << Narrow(module);
    EXPECT_EQ(key.Counters(), L"PluginsFound=5 PluginsScanned=4 PluginsDeleted=0") << "the sums the workers stored";

    auto log = ReadLogLines(MainLogPath());
    EXPECT_TRUE(Contains(log, L"SIEVO: Sandbox worker ended while it scanned " + Logged(exits)));
    EXPECT_TRUE(Contains(log, L"SIEVO: Sandboxed scan of " + Logged(hang) + L" stopped after 5 seconds"));
    EXPECT_FALSE(Contains(log, L"SIEVO: VST plugin successfully scanned"));
    EXPECT_TRUE(Contains(log, L"SIEVO: Finished analyzing VST plugins - 4 of 5 VST plugins were scanned in this run"));
    EXPECT_EQ(WorkerStarts(), 4) << "A B | C D | E F | G";
    auto workers = ReadLogLines(SandboxLogPath());
    EXPECT_TRUE(Contains(workers, L"SIEVO: VST plugin successfully scanned"));
    EXPECT_EQ(CountStarting(workers, L"SIEVO: Sandbox worker ", L"retires after 2 module(s): a plug-in fault"), 1);
    EXPECT_EQ(CountStarting(workers, L"VST to scan - "), 7);
}

// Killed from outside in the middle of a module that would never end (no
// time limit), a worker costs its module (counted as crashed) and the next
// module gets a new worker. A scan ended from outside takes its workers with
// it: one that spins in a plug-in would never read the pipe again to learn
// the scan is gone.
TEST_F(Sandbox, KilledFromOutsideMidModule) {
    key.SetDword(L"sandboxWorkers", 1);
    key.SetDword(L"sandboxTimeout", 0);
    std::wstring before = Add(L"effect_with_editor", L"A_Echo.dll");
    std::wstring spin = Add(L"misbehaves_as_told", L"B_Spin.dll");
    std::wstring after = Add(L"effect_with_editor", L"C_Echo.dll");
    std::wstring last = Add(L"misbehaves_as_told", L"D_Spin.dll");
    dir.Write(L"plugins\\B_Spin.dll.how", "spin");
    dir.Write(L"plugins\\D_Spin.dll.how", "spin");
    auto reach = [&](const std::wstring& module) {  // until the worker is in the plug-in's code
        for (DWORD start = GetTickCount(); GetTickCount() - start < 30000; Sleep(100))
            if (Contains(ReadLogLines(SandboxLogPath()), L"VST to scan - " + Logged(module))) break;
        Sleep(300);
    };
    auto running = [] {
        int n = 0;
        HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
        PROCESSENTRY32W p{};
        p.dwSize = sizeof p;
        for (BOOL more = Process32FirstW(snapshot, &p); more; more = Process32NextW(snapshot, &p))
            n += _wcsicmp(p.szExeFile, L"Sievo.exe") == 0;
        CloseHandle(snapshot);
        return n;
    };
    {
        Sievo scan(key.Args() + L"/Background/Log");  // ended when it goes out of scope
        reach(spin);
        auto log = ReadLogLines(MainLogPath());
        DWORD pid = 0;  // the one worker's, the last started
        for (auto line = log.rbegin(); line != log.rend() && !pid; ++line)
            swscanf(line->c_str(), L"SIEVO: Sandbox worker %*u started (process %lu)", &pid);
        HANDLE worker = OpenProcess(PROCESS_TERMINATE, FALSE, pid);
        ASSERT_TRUE(worker && TerminateProcess(worker, 9));
        CloseHandle(worker);
        reach(last);
        ASSERT_EQ(running(), 2) << "the scan and its worker";
    }
    for (DWORD start = GetTickCount(); running() > 0 && GetTickCount() - start < 10000;) Sleep(100);
    EXPECT_EQ(running(), 0);
    EXPECT_EQ(key.Show(TestKey::Record(spin), L"isBad touch"), L"isBad=1 touch=1");
    EXPECT_EQ(Value(before, L"isVst"), 1u);
    EXPECT_EQ(Value(after, L"isVst"), 1u);
    EXPECT_EQ(key.Dword(L"PluginsScanned", L"Inventory"), 2u);
    EXPECT_TRUE(Contains(ReadLogLines(MainLogPath()), L"SIEVO: Sandbox worker ended while it scanned " + Logged(spin)));
    EXPECT_EQ(WorkerStarts(), 2);
}

// The folder is an internal and a user folder at once, so every module
// stands twice in the candidate list. One worker and two leave the same
// records and metrics, and the host the same notifications; no module is
// probed twice, and workers serve more than one module each.
TEST_F(Sandbox, OneOrTwoWorkersLeaveTheSameInventory) {
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
        std::wstring metrics;
        std::vector<std::wstring> texts;  // sorted: the workers' own notices come in any order
        size_t posts;
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
        Outcome o{{}, k.Counters(), r.Texts(), r.Posts().size()};
        for (const std::wstring& name : k.InventoryKeys()) {
            std::wstring lower = name;
            CharLowerBuffW(lower.data(), static_cast<DWORD>(lower.size()));
            o.records[lower] = k.Values((L"Inventory\\" + name).c_str());
        }
        std::sort(o.texts.begin(), o.texts.end());

        auto workerLines = ReadLogLines(SandboxLogPath());
        for (const std::wstring& module : modules)  // a shell is probed at every listing, one after the other
            EXPECT_EQ(CountStarting(workerLines, L"VST to scan - " + Logged(module)), module == modules[3] ? 2 : 1)
                << Narrow(module);
        EXPECT_LE(WorkerStarts(), static_cast<int>(workers) + 1) << "one more for the module that ended its worker";
        EXPECT_EQ(Value(k, modules[0], L"isBad"), 0u) << "the slow one, listed again while it was probed";
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
    EXPECT_EQ(one.metrics + L" / " + two.metrics,
              L"PluginsFound=10 PluginsScanned=7 PluginsDeleted=0 / PluginsFound=10 PluginsScanned=7 PluginsDeleted=0");
    EXPECT_EQ(one.texts, two.texts);
    EXPECT_EQ(one.posts, two.posts);
    EXPECT_TRUE(Contains(one.texts, L"Scan complete.\n14 plugins found (7 new, 0 removed, 0 errors)."));
}

}  // namespace
