// Full scans with the real program over real modules: which modules are
// loaded, which keep their records (a shell's members too), what is swept
// and how it is counted.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "TestSupport.h"
#include "tools/testhost/TestHostClient.h"

using namespace sievo_test;

namespace {

class Loop : public ::testing::Test {
protected:
    void SetUp() override { key.AddScanPath(folder); }

    // A logged scan to its end; `log` holds its log.
    RunResult Scan(const std::wstring& extra = L"", const std::function<void(DWORD)>& whileRunning = nullptr) {
        DeleteLogs();
        RunResult r = RunSievo(key.Args() + L"/Log" + extra, 120000, whileRunning);
        EXPECT_FALSE(r.timedOut);
        log = ReadLogLines(MainLogPath());
        return r;
    }
    // Log lines with both parts in them.
    static int Lines(const std::vector<std::wstring>& log, const std::wstring& a, const std::wstring& b) {
        return static_cast<int>(std::count_if(log.begin(), log.end(), [&](const std::wstring& line) {
            return line.find(a) != std::wstring::npos && line.find(b) != std::wstring::npos;
        }));
    }
    std::wstring Shown(const std::wstring& module) const {
        return key.Show(TestKey::Record(module), L"isBad FullName");
    }
    bool Logged(const wchar_t* line) const { return Contains(log, line); }
    // How often load_recorder was loaded: it appends "load\n" at each load.
    static int Loads(const std::wstring& module) {
        WIN32_FILE_ATTRIBUTE_DATA data{};
        return GetFileAttributesExW((module + L".loads").c_str(), GetFileExInfoStandard, &data)
                   ? static_cast<int>(data.nFileSizeLow / 5)
                   : 0;
    }
    std::wstring Add(const wchar_t* plugin, const wchar_t* file) {
        return dir.Copy(PluginPath(plugin), L"plugins\\" + std::wstring(file));
    }
    DWORD Counter(const wchar_t* name) const { return key.Dword(name, L"Inventory"); }
    DWORD Value(const std::wstring& module, const wchar_t* name) const {
        return key.Dword(name, TestKey::Record(module).c_str());
    }
    // A visible scan that answers every load-error dialog with `button`.
    LoadErrors ScanAnswering(int button) {
        LoadErrors seen;
        EXPECT_EQ(RunAnswering(key.Args() + L"/Log", button, &seen).exitCode, 0u);
        return seen;
    }
    // A shell's members' key names without their owner: "*<id> <name>", sorted.
    std::vector<std::wstring> Members(const std::wstring& module) const {
        std::vector<std::wstring> out;
        for (const std::wstring& r : key.RecordsOf(module))
            if (r.find(L'*') != std::wstring::npos) out.push_back(r.substr(r.find(L'*')));
        return out;
    }
    // A record of a plug-in that an earlier scan found, for a module that is gone.
    void SeedRecord(const std::wstring& name, DWORD isShellRoot = 0, const wchar_t* kind = L"isVst") {
        const std::wstring record = L"Inventory\\" + name;
        key.SetDword(kind, 1, record.c_str());
        key.SetDword(L"isShellRoot", isShellRoot, record.c_str());
        key.SetDword(L"touch", 1, record.c_str());
        key.SetText(L"clsidPlug", L"{141AC902-0000-0000-4142-434400000000}", record.c_str());
    }

    TestKey key;
    TempDir dir;
    std::wstring folder = dir.Make(L"plugins");
    std::vector<std::wstring> log;
};

// An unchanged module is never loaded again unless rescanning is asked; a
// known-bad one or one that is no plug-in is not found, but keeps its record.
TEST_F(Loop, WhichModulesAreLoadedAgain) {
    std::wstring module = Add(L"load_recorder", L"Recorder.dll");
    std::wstring helper = Add(L"not_a_plugin", L"Helper.dll");
    ASSERT_EQ(Scan().exitCode, 0u);
    EXPECT_EQ(Loads(module), 1);
    EXPECT_TRUE(Logged(L"SIEVO: VST plugin successfully scanned"));
    EXPECT_TRUE(Logged(L"SIEVO: NOT a VST plugin"));
    ASSERT_EQ(Scan().exitCode, 0u);
    EXPECT_EQ(Loads(module), 1);
    EXPECT_TRUE(Logged(L"SIEVO: VST plugin previously scanned"));
    ASSERT_TRUE(MakeNewer(module));
    ASSERT_EQ(Scan().exitCode, 0u);
    EXPECT_EQ(Loads(module), 2);
    key.SetDword(L"rescanExisting", 1);
    ASSERT_EQ(Scan().exitCode, 0u);
    EXPECT_EQ(Loads(module), 3);
    ASSERT_EQ(Scan(L"/NoRescanning").exitCode, 0u);
    EXPECT_EQ(Loads(module), 3) << "/NoRescanning overrides the stored preference";

    key.SetDword(L"rescanExisting", 0);
    key.SetDword(L"isBad", 1, TestKey::Record(module).c_str());
    ASSERT_EQ(Scan().exitCode, 0u);
    EXPECT_EQ(Loads(module), 3);
    EXPECT_TRUE(Logged(L"SIEVO: Known bad VST plugin skipped"));
    EXPECT_EQ(Value(module, L"isBad"), 1u) << "touched, so not swept";
    EXPECT_EQ(Value(helper, L"touch"), 1u);
    // Unless failed modules are rescanned.
    key.SetDword(L"rescanFailed", 1);
    ASSERT_EQ(Scan().exitCode, 0u);
    EXPECT_EQ(Loads(module), 4);
    EXPECT_EQ(Value(module, L"isBad"), 0u);
    EXPECT_TRUE(Logged(L"SIEVO: Previously scanned - NOT a VST plugin"));
    EXPECT_EQ(Value(helper, L"touch"), 1u);
}

// What a rescan that finds nothing changed leaves in every record key, value
// by value in type and bytes: the same as the scan before it. A value stored
// in another form than a scan writes (no terminator, a number as binary, a
// missing or cleared mark) is put back into the scan's form.
TEST_F(Loop, UnchangedRescanLeavesEveryRecordAsItWas) {
    std::wstring effect = Add(L"effect_with_editor", L"Effect.dll");
    std::wstring single = dir.Copy(PluginDir() + L"\\single_component.vst3", L"plugins\\Single.vst3");
    std::wstring three = dir.Copy(PluginDir() + L"\\shell_three_audio.vst3", L"plugins\\Three.vst3");
    Add(L"shell_three", L"Shell.dll");
    std::wstring helper = Add(L"not_a_plugin", L"Helper.dll");
    auto records = [&] {
        std::map<std::wstring, std::map<std::wstring, std::vector<BYTE>>> all;
        for (const std::wstring& name : key.InventoryKeys()) {
            all[name] = key.Values((L"Inventory\\" + name).c_str());
            // A shell member's record is marked only when its shell is probed,
            // which an unchanged shell is not: its mark is cleared and stays so.
            if (name.find(L'*') != std::wstring::npos) all[name].erase(L"touch");
        }
        return all;
    };
    ASSERT_EQ(Scan().exitCode, 0u);
    const auto first = records();
    ASSERT_GE(first.size(), 11u) << "five modules, six shell members";
    ASSERT_EQ(Scan().exitCode, 0u);
    EXPECT_EQ(Counter(L"PluginsDeleted"), 0u);
    EXPECT_TRUE(first == records());

    auto record = [&](const std::wstring& module) { return key.Sub(TestKey::Record(module).c_str()); };
    std::wstring path = key.Text(L"FullPath", TestKey::Record(effect).c_str());
    const BYTE zero = 0;
    RegSetKeyValueW(HKEY_CURRENT_USER, record(effect).c_str(), L"FullPath", REG_SZ, path.data(),
                    static_cast<DWORD>(path.size() * sizeof(wchar_t)));  // no terminator
    ASSERT_EQ(RegDeleteKeyValueW(HKEY_CURRENT_USER, record(single).c_str(), L"isBad"), ERROR_SUCCESS);
    key.SetDword(L"touch", 0, TestKey::Record(three).c_str());
    RegSetKeyValueW(HKEY_CURRENT_USER, record(helper).c_str(), L"isShell", REG_BINARY, &zero, 1);
    ASSERT_FALSE(first == records());
    ASSERT_EQ(Scan().exitCode, 0u);
    EXPECT_TRUE(first == records());
}

TEST_F(Loop, RecordsOfRemovedModulesAreSweptAndCounted) {
    Add(L"not_a_plugin", L"Helper.dll");
    const std::wstring gone = folder + L"\\Gone.dll";
    SeedRecord(TestKey::RecordKey(gone));
    SeedRecord(L"C:/Old/Shell.dll", 1);
    SeedRecord(L"C:/Old/Shell.dll*1 One");
    SeedRecord(L"C:/Old/Shell.dll*2 Two");
    SeedRecord(L"C:/Old/Shell.dll2.dll");
    SeedRecord(L"C:/Old/Delay.vst3", 0, L"isVst3");
    // A single-plug-in run skips a module without a short path, and neither
    // clears nor sets marks.
    ASSERT_EQ(Scan(L"/ScanVst:" + gone).exitCode, 0u);
    EXPECT_EQ(Lines(ReadLogLines(SandboxLogPath()), L"SIEVO: GetShortPathName failed(", L"! Skipping plugin."), 1);
    EXPECT_EQ(Value(gone, L"touch"), 1u);
    ASSERT_EQ(Scan().exitCode, 0u);
    std::vector<std::wstring> left = key.InventoryKeys();
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(_wcsicmp(left[0].c_str(), TestKey::RecordKey(folder + L"\\Helper.dll").c_str()), 0) << Narrow(left[0]);
    EXPECT_EQ(Counter(L"PluginsDeleted"), 5u) << "a plug-in, two sub-plug-ins, the prefix look-alike, a VST 3 module";
    EXPECT_TRUE(Logged(L"SIEVO: Removed 5 unavailable plugin's from VST inventory"));
}

// Crash marks that need a second look: one left by a scan killed from
// outside, and one whose module file has changed since. Each module gets one
// probe in a sandboxed child; only a crash there keeps it marked.
TEST_F(Loop, ScanKilledDuringASlowProbeCostsThePluginNothing) {
    std::wstring echo = Add(L"effect_with_editor", L"A_Echo.dll");
    std::wstring slow = Add(L"misbehaves_as_told", L"B_Slow.dll");
    dir.Write(L"plugins\\B_Slow.dll.how", "slow");
    std::wstring synth = Add(L"synth_wants_midi", L"C_Synth.dll");

    // The user ends the task while the slow plug-in is in effOpen.
    Scan(L"", [&](DWORD pid) {
        auto now = ReadLogLines(MainLogPath());
        if (now.empty() || now.back().find(L"effOpen") == std::wstring::npos) return;
        if (Lines(now, L"---- Loading VST plugin", L"B_Slow.dll") == 0) return;
        if (HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, pid)) {
            TerminateProcess(process, 1);
            CloseHandle(process);
        }
    });
    ASSERT_EQ(key.Show(TestKey::Record(slow), L"isBad"), L"isBad=1") << "killed inside the plug-in: the mark stands";
    EXPECT_NE(key.Text(L"SievoProbing"), L"-");

    Scan();
    EXPECT_EQ(Lines(log, L"A scan ended while it probed", L"B_Slow.dll: probing it again in a sandboxed child"), 1);
    EXPECT_EQ(Lines(log, L"B_Slow.dll scanned cleanly in the sandbox", L"no longer marked bad"), 1);
    EXPECT_EQ(Shown(echo), L"isBad=0 FullName=Echo Chamber");
    EXPECT_EQ(Shown(slow), L"isBad=0 FullName=Untidy Effect");
    EXPECT_EQ(Shown(synth), L"isBad=0 FullName=Pluck Synth");
    EXPECT_EQ(key.Text(L"SievoProbing"), L"-") << "cleared once the probe is over";

    Scan();
    EXPECT_EQ(Lines(log, L"probing it", L"sandboxed child"), 0);
}

TEST_F(Loop, CrasherStaysBadUntilItsFileChanges) {
    std::wstring killer = Add(L"exit_in_dllmain", L"A_Killer.dll");
    std::wstring echo = Add(L"effect_with_editor", L"B_Echo.dll");

    Scan();  // ends in the plug-in's load
    ASSERT_EQ(Shown(killer), L"isBad=1 FullName=-");

    // The scan never finished, so its mark is tried once in a child, which dies too.
    Scan();
    EXPECT_EQ(Lines(log, L"A scan ended while it probed", L"A_Killer.dll"), 1);
    EXPECT_EQ(Lines(log, L"A_Killer.dll failed in the sandbox too", L"stays marked bad"), 1);
    EXPECT_TRUE(Logged(L"SIEVO: Known bad VST plugin skipped"));
    EXPECT_EQ(Shown(killer), L"isBad=1 FullName=-");
    EXPECT_EQ(Shown(echo), L"isBad=0 FullName=Echo Chamber");

    // Confirmed: later scans skip it without a child.
    Scan();
    EXPECT_EQ(Lines(log, L"probing it", L"sandboxed child"), 0);

    // An update replaces the file: one more chance, and it is fixed.
    ASSERT_TRUE(CopyFileW(PluginPath(L"synth_wants_midi").c_str(), killer.c_str(), FALSE));
    Scan();
    EXPECT_TRUE(
        Logged(L"SIEVO: Known bad VST plugin changed since it was marked: probing it once in a sandboxed child"));
    EXPECT_EQ(Shown(killer), L"isBad=0 FullName=Pluck Synth");
}

struct Module {
    const wchar_t* plugin;  // source in the plug-in folder
    const wchar_t* file;    // name in the scan folder
    const wchar_t* shown;   // its record: "isBad=1" (a crasher), "isVst=0", or a good one's name
    const char* how = "";   // the misbehaviour of misbehaves_as_told
    bool present = true;
};

// Scans killed at random moments must never cost a present module its
// record for good: one clean scan after many interrupted ones leaves every
// present good module recorded completely, every crasher marked bad, and no
// record of a removed one.
TEST_F(Loop, InterruptedScansNeverLoseARecord) {
    std::mt19937 random(20261206);
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
    for (const Module& m : modules) {
        Add(m.plugin, m.file);
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
                Add(m.plugin, m.file);
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

// VST 2 shells across scans: one record per member beside the shell's, kept
// while the shell is unchanged, replaced when the member list changes.
using Shells = Loop;
using Names = std::vector<std::wstring>;

TEST_F(Shells, AnUnchangedShellKeepsItsMembersARenamedMemberLosesItsRecordOnUpdate) {
    const std::wstring shell = Add(L"shell_renames_member", L"Colours.dll");
    ASSERT_EQ(Scan().exitCode, 0u);
    const std::wstring root = TestKey::Record(shell);
    EXPECT_EQ(key.Show(root, L"isShell isShellRoot factoryFlags numClasses"),
              L"isShell=1 isShellRoot=1 factoryFlags=1 numClasses=3");
    ASSERT_EQ(Members(shell), (Names{L"*2001 Red", L"*2002 Green", L"*2003 Blue"}));
    const std::wstring green = root + L"*2002 Green";
    EXPECT_EQ(key.Show(green, L"FullName uniqueId isShellRoot numParams"),
              L"FullName=Green uniqueId=2002 isShellRoot=0 numParams=2");
    EXPECT_EQ(key.Counters(), L"PluginsFound=3 PluginsScanned=3 PluginsDeleted=0");
    EXPECT_EQ(ReadLogLines(shell + L".created"), (Names{L"root", L"sub 2001", L"sub 2002", L"sub 2003"}));

    // A member renamed in a module file that is the same as last time, with
    // as many members: the members are not looked at again.
    key.SetDword(L"numParams", 77, green.c_str());
    dir.Write(L"plugins\\Colours.dll.renamed", "");
    ASSERT_EQ(Scan().exitCode, 0u);
    // The shell is asked for its list again (it may change at any load), but
    // not one member is created.
    EXPECT_EQ(ReadLogLines(shell + L".created"), (Names{L"root", L"sub 2001", L"sub 2002", L"sub 2003", L"root"}));
    EXPECT_EQ(Members(shell), (Names{L"*2001 Red", L"*2002 Green", L"*2003 Blue"}));
    EXPECT_EQ(key.Dword(L"numParams", green.c_str()), 77u) << "the member's record was left alone";
    EXPECT_EQ(key.Dword(L"numClasses", root.c_str()), 3u);
    EXPECT_EQ(key.Counters(), L"PluginsFound=3 PluginsScanned=0 PluginsDeleted=0");
    EXPECT_FALSE(Logged(L"SIEVO: Scan VST Shell plugins..."));

    // An update of the file (a later write time): the members are created
    // again, the renamed one gets its new record and its old one goes.
    ASSERT_TRUE(MakeNewer(shell));
    ASSERT_EQ(Scan().exitCode, 0u);
    EXPECT_EQ(Members(shell), (Names{L"*2001 Red", L"*2002 Green Renamed", L"*2003 Blue"}));
    EXPECT_EQ(key.Text(L"FullName", (root + L"*2002 Green Renamed").c_str()), L"Green Renamed");
    EXPECT_EQ(key.Counters(), L"PluginsFound=3 PluginsScanned=3 PluginsDeleted=0")
        << "a rename removes nothing the host had";
}

TEST_F(Shells, AShellListingAnotherNumberOfMembersHasThemAllReplaced) {
    const std::wstring shell = Add(L"shell_count_changes", L"Ensemble.dll");
    const std::wstring root = TestKey::Record(shell);
    ASSERT_EQ(Scan().exitCode, 0u);
    ASSERT_EQ(Members(shell), (Names{L"*4001 Member 1", L"*4002 Member 2", L"*4003 Member 3"}));
    key.SetDword(L"numParams", 77, (root + L"*4001 Member 1").c_str());

    // Fewer members: all three old records go first (and are counted), then
    // the two it lists now are written afresh.
    dir.Write(L"plugins\\Ensemble.dll.count", "2");
    ASSERT_EQ(Scan().exitCode, 0u);
    EXPECT_EQ(Members(shell), (Names{L"*4001 Member 1", L"*4002 Member 2"}));
    EXPECT_EQ(key.Dword(L"numParams", (root + L"*4001 Member 1").c_str()), 2u) << "written afresh";
    EXPECT_EQ(key.Dword(L"numClasses", root.c_str()), 2u);
    EXPECT_EQ(key.Counters(), L"PluginsFound=2 PluginsScanned=2 PluginsDeleted=3");

    // More members.
    dir.Write(L"plugins\\Ensemble.dll.count", "5");
    ASSERT_EQ(Scan().exitCode, 0u);
    EXPECT_EQ(Members(shell),
              (Names{L"*4001 Member 1", L"*4002 Member 2", L"*4003 Member 3", L"*4004 Member 4", L"*4005 Member 5"}));
    EXPECT_EQ(key.Dword(L"numClasses", root.c_str()), 5u);
    EXPECT_EQ(key.Counters(), L"PluginsFound=5 PluginsScanned=5 PluginsDeleted=2");

    // Uninstalled: the sweep takes the members with their shell.
    ASSERT_TRUE(DeleteFileW(shell.c_str()));
    ASSERT_EQ(Scan().exitCode, 0u);
    EXPECT_TRUE(Members(shell).empty());
    EXPECT_FALSE(key.Exists(root.c_str()));
    EXPECT_EQ(Counter(L"PluginsDeleted"), 5u) << "the members count, the shell module itself does not";
}

TEST_F(Shells, AFaultWhileCreatingTheSecondMemberKeepsTheFirst) {
    const std::wstring shell = Add(L"shell_faults_on_second", L"Faulty.dll");
    const std::wstring root = TestKey::Record(shell);

    // Enabled anyway: the result is the one member listed before the fault.
    LoadErrors seen = ScanAnswering(kEnablePlugin);
    EXPECT_EQ(seen.dialogs, 1);
    EXPECT_EQ(seen.step, L"Create shell sub-plugin");
    EXPECT_EQ(ReadLogLines(shell + L".created"), (Names{L"root", L"sub 5001", L"sub 5002"}));
    // All three are stored as listed, but the fault cut the probe short
    // before it noted the file's time and size: the next scan takes the
    // module as changed, walks it again and the user is asked again.
    EXPECT_EQ(key.Show(root, L"isBad isShellRoot numClasses"), L"isBad=0 isShellRoot=1 numClasses=3");
    EXPECT_EQ(Members(shell), (Names{L"*5001 First"}));
    EXPECT_EQ(key.Dword(L"isBad", (root + L"*5001 First").c_str()), 0u);
    EXPECT_EQ(Counter(L"PluginsScanned"), 1u);
    EXPECT_EQ(ScanAnswering(kEnablePlugin).dialogs, 1);
    EXPECT_EQ(ReadLogLines(shell + L".created"),
              (Names{L"root", L"sub 5001", L"sub 5002", L"root", L"sub 5001", L"sub 5002"}));
    EXPECT_EQ(Members(shell), (Names{L"*5001 First"}));
}

// In background mode a shell of more than ten members tells the host of the
// inventory change as soon as it is in; a shell of three only at the end.
TEST_F(Shells, ABigShellIsPostedToTheHostAtOnce) {
    key.SetDword(L"scanInSandbox", 0);  // probed in the scanner's own process, as the visible scans are
    Add(L"shell_renames_member", L"Colours.dll");
    Add(L"shell_thirty", L"Thirty.dll");
    testhost::Report r = testhost::RunTestHost(dir.Path(), L"", key.Args(), 120000, nullptr);
    ASSERT_TRUE(r.read);
    ASSERT_EQ(r.sievoExitCode, 0u);
    std::vector<std::wstring> texts = r.Texts();
    ASSERT_EQ(texts.size(), 39u);
    EXPECT_EQ(texts[2], L"Scanning Colours.dll...");
    EXPECT_EQ(texts[6], L"Scanning Thirty.dll...");
    for (int i = 1; i <= 30; ++i) {
        wchar_t expected[40];
        swprintf(expected, 40, L"Scanning Voice %02d...", i);  // the listed name after its last backslash
        EXPECT_EQ(texts[6 + i], expected);
    }
    EXPECT_EQ(texts[37], L"Rebuilding plugin menus...");
    EXPECT_EQ(texts[38].rfind(L"Scan complete.\n33 plugins found", 0), 0u) << Narrow(texts[38]);
    std::vector<testhost::Event> posts = r.Posts();
    ASSERT_EQ(posts.size(), 2u);
    EXPECT_EQ(posts[0].afterNotify, 37) << "right after the big shell's last member";
    EXPECT_EQ(posts[1].afterNotify, 38);
}

TEST_F(Shells, AShellThatNeverStopsListingIsCutAtTenThousand) {
    std::wstring shell = Add(L"shell_never_ends", L"A_Endless.dll");
    std::wstring echo = Add(L"effect_with_editor", L"B_Echo.dll");
    Scan();
    EXPECT_TRUE(Logged(L"SIEVO: Shell lists more than 10000 plug-ins: the rest is ignored"));
    EXPECT_EQ(key.Show(TestKey::Record(shell), L"numClasses isBad"), L"numClasses=10000 isBad=0");
    EXPECT_EQ(key.Show(TestKey::Record(echo), L"isVst"), L"isVst=1") << "the scan went on";
}

}  // namespace
