// Full scans with the real program over real modules: which modules are
// loaded, which keep their records, what is swept and how it is counted.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "TestSupport.h"

using namespace sievo_test;

namespace {

class Loop : public ::testing::Test {
protected:
    void SetUp() override { key.AddScanPath(folder); }

    RunResult Scan(const std::wstring& extra = L"") {
        DeleteLogs();
        return RunSievo(key.Args() + L"/Log" + extra);
    }
    std::vector<std::wstring> ScanLog(const std::function<void(DWORD)>& whileRunning = nullptr) {
        DeleteLogs();
        EXPECT_FALSE(RunSievo(key.Args() + L"/Log", 120000, whileRunning).timedOut);
        return ReadLogLines(MainLogPath());
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
    bool Logged(const wchar_t* line) const { return Contains(ReadLogLines(MainLogPath()), line); }
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
    std::wstring AddVst3(const wchar_t* module, const wchar_t* file) {
        return dir.Copy(PluginDir() + L"\\" + module + L".vst3", L"plugins\\" + std::wstring(file));
    }
    DWORD Counter(const wchar_t* name) const { return key.Dword(name, L"Inventory"); }
    DWORD Value(const std::wstring& module, const wchar_t* name) const {
        return key.Dword(name, TestKey::Record(module).c_str());
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
};

// Lifecycle calls of a VST 3 test module, traced beside its copy, that start with `prefix`.
int Traced(const std::wstring& module, const std::string& prefix = "") {
    std::ifstream in(Narrow(module + L".trace"));
    int n = 0;
    for (std::string line; std::getline(in, line);) n += line.rfind(prefix, 0) == 0;
    return n;
}

// The records a full scan stores for well-behaved VST 2 and VST 3 modules,
// and what a rescan of the unchanged modules does (nothing, or for a
// discardable factory: open it, but examine no class).
TEST_F(Loop, RecordsOfVst2AndVst3Modules) {
    std::wstring echo = Add(L"effect_with_editor", L"ECHO.DLL");
    std::wstring synth = Add(L"synth_wants_midi", L"synth_wants_midi.dll");
    std::wstring strip = Add(L"stripdeck_private_only", L"stripdeck_private_only.dll");
    std::wstring shell = Add(L"shell_three", L"shell_three.dll");
    std::wstring delay = AddVst3(L"separate_controller", L"Delay.vst3");
    std::wstring shell3 = AddVst3(L"shell_three_audio", L"Shell.vst3");
    std::wstring discard = AddVst3(L"discardable_classes", L"Discard.vst3");
    ASSERT_EQ(Scan().exitCode, 0u);

    // The values probes read are checked by the unit tests; here, that each
    // kind of module reaches its record, under the key the host looks up.
    EXPECT_EQ(key.Show(TestKey::Record(echo), L"FullName isVst isX64 clsidPlugMD5 registerAsTempoBasedEffect isBad"),
              L"FullName=Echo Chamber isVst=1 isX64=1 clsidPlugMD5={B5E5251A-858C-6585-4D05-833BD7520CE1} "
              L"registerAsTempoBasedEffect=1 isBad=0");
    EXPECT_EQ(key.Show(TestKey::Record(synth), L"isSynth wantEvents numOutputs"),
              L"isSynth=1 wantEvents=1 numOutputs=2");
    // Internal, and no standard entry point: no VST plug-in.
    EXPECT_EQ(key.Show(TestKey::Record(strip), L"isInternal hasVstEntryPoint isVst"),
              L"isInternal=1 hasVstEntryPoint=0 isVst=0");
    const std::wstring root = TestKey::Record(shell);
    EXPECT_EQ(key.Show(root, L"isShellRoot numClasses"), L"isShellRoot=1 numClasses=3");
    EXPECT_EQ(key.Show(root + L"*1001 Alpha from 1001", L"uniqueId isShell isShellRoot"),
              L"uniqueId=1001 isShell=1 isShellRoot=0");
    // A member that reports no name of its own keeps the listed one, backslash
    // and all; its key name has "/" there, so the key stays beside the others.
    EXPECT_FALSE(key.Exists((root + L"*-1003 Trio").c_str()));
    EXPECT_EQ(key.Text(L"FullName", (root + L"*-1003 Trio/Gamma").c_str()), L"Trio\\Gamma");

    EXPECT_EQ(key.Show(TestKey::Record(delay), L"isVst3 isVst numClasses FullName clsidProps touch"),
              L"isVst3=1 isVst=0 numClasses=1 FullName=Separate Controller Delay "
              L"clsidProps={5E9A00C1-1111-2222-3333-444455556666} touch=1");
    const std::wstring root3 = TestKey::Record(shell3);
    EXPECT_EQ(key.Show(root3, L"isShellRoot numClasses"), L"isShellRoot=1 numClasses=3");
    // The first class asked for events; the flag stays set for the others.
    // An instrument is not a tempo-based effect.
    EXPECT_EQ(key.Show(root3 + L"*0 Shell Synth", L"isShell isSynth registerAsTempoBasedEffect wantEvents"),
              L"isShell=1 isSynth=1 registerAsTempoBasedEffect=0 wantEvents=1");
    EXPECT_EQ(key.Show(root3 + L"*2 Shell Reverb", L"uniqueId wantEvents"), L"uniqueId=2 wantEvents=1");

    const int delayCalls = Traced(delay), releases = Traced(discard, "release factory");
    ASSERT_GT(delayCalls, 0);
    ASSERT_GT(releases, 0);
    EXPECT_EQ(Traced(discard, "getClassInfo"), 2);
    ASSERT_EQ(Scan().exitCode, 0u);
    EXPECT_EQ(Traced(delay), delayCalls) << "an unchanged module is not loaded again";
    EXPECT_EQ(Traced(discard, "getClassInfo"), 2) << "no class examined on the second scan";
    EXPECT_EQ(Traced(discard, "release factory"), 2 * releases) << "but the discardable module was opened again";
    EXPECT_TRUE(key.Exists((TestKey::Record(discard) + L"*0 Discardable One").c_str()));
    EXPECT_TRUE(key.Exists((TestKey::Record(discard) + L"*1 Discardable Two").c_str()));
}

TEST_F(Loop, UnchangedModuleIsNotLoadedAgainUntilItChangesOrRescanIsAsked) {
    std::wstring module = Add(L"load_recorder", L"Recorder.dll");
    ASSERT_EQ(Scan().exitCode, 0u);
    EXPECT_EQ(Loads(module), 1);
    EXPECT_TRUE(Logged(L"SIEVO: VST plugin successfully scanned"));
    EXPECT_EQ(Value(module, L"isBad"), 0u);
    ASSERT_EQ(Scan().exitCode, 0u);
    EXPECT_EQ(Loads(module), 1) << "an unchanged module is never loaded";
    EXPECT_TRUE(Logged(L"SIEVO: VST plugin previously scanned"));

    // A new last-write time makes it a changed module.
    HANDLE f = CreateFileW(module.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    FILETIME later{};
    ASSERT_TRUE(GetFileTime(f, nullptr, nullptr, &later));
    later.dwHighDateTime += 1;
    SetFileTime(f, nullptr, nullptr, &later);
    CloseHandle(f);
    ASSERT_EQ(Scan().exitCode, 0u);
    EXPECT_EQ(Loads(module), 2);

    key.SetDword(L"rescanExisting", 1);
    ASSERT_EQ(Scan().exitCode, 0u);
    EXPECT_EQ(Loads(module), 3) << "rescanExisting probes every module again";
    ASSERT_EQ(Scan(L"/NoRescanning").exitCode, 0u);
    EXPECT_EQ(Loads(module), 3) << "/NoRescanning overrides the stored preference";
}

// What a rescan that finds nothing changed leaves in every record key, value
// by value in type and bytes: the same as the scan before it. A value stored
// in another form than a scan writes (no terminator, a number as binary, a
// missing or cleared mark) is put back into the scan's form.
TEST_F(Loop, UnchangedRescanLeavesEveryRecordAsItWas) {
    std::wstring effect = Add(L"effect_with_editor", L"Effect.dll");
    std::wstring single = AddVst3(L"single_component", L"Single.vst3");
    std::wstring three = AddVst3(L"shell_three_audio", L"Three.vst3");
    Add(L"shell_three", L"Shell.dll");
    std::wstring helper = Add(L"not_a_plugin", L"Helper.dll");
    std::wstring bad = Add(L"load_recorder", L"Bad.dll");
    key.SetDword(L"isBad", 1, TestKey::Record(bad).c_str());
    using Records = std::map<std::wstring, std::map<std::wstring, std::vector<BYTE>>>;
    auto records = [&] {
        Records all;
        for (const std::wstring& name : key.InventoryKeys()) all[name] = key.Values((L"Inventory\\" + name).c_str());
        return all;
    };
    // The keys whose values differ, for the failure message.
    auto differences = [](const Records& was, Records now) {
        std::string out;
        for (const auto& k : was) {
            if (now[k.first] != k.second) out += Narrow(k.first) + "\n";
            now.erase(k.first);
        }
        for (const auto& k : now) out += "new: " + Narrow(k.first) + "\n";
        return out;
    };

    ASSERT_EQ(Scan().exitCode, 0u);
    Records first = records();
    ASSERT_GE(first.size(), 12u) << "six modules, six shell members";
    // A shell member's record is marked only when its shell is probed, which
    // an unchanged shell is not: its mark is cleared and stays so.
    for (auto& k : first) {
        const size_t marks = k.first.find(L'*') != std::wstring::npos ? k.second.erase(L"touch") : 1;
        EXPECT_EQ(marks, 1u) << Narrow(k.first);
    }
    ASSERT_EQ(Scan().exitCode, 0u);
    EXPECT_EQ(Counter(L"PluginsDeleted"), 0u);
    EXPECT_EQ(differences(first, records()), "");
    EXPECT_EQ(Loads(bad), 0) << "known bad: skipped";

    std::wstring path = key.Text(L"FullPath", TestKey::Record(effect).c_str());
    struct Tamper {
        std::wstring module;
        const wchar_t* value;
        DWORD type;  // REG_NONE: delete the value
        std::vector<BYTE> data;
    };
    const Tamper tampers[] = {
        {effect, L"touch", REG_NONE, {}},
        {effect,
         L"FullPath",
         REG_SZ,
         {reinterpret_cast<const BYTE*>(path.data()), reinterpret_cast<const BYTE*>(path.data() + path.size())}},
        {single, L"isVst3", REG_BINARY, {1, 0, 0, 0}},
        {single, L"isBad", REG_NONE, {}},
        {three, L"touch", REG_DWORD, {0, 0, 0, 0}},
        {helper, L"isShell", REG_BINARY, {0}},
    };
    for (const Tamper& t : tampers) {
        const std::wstring record = key.Sub(TestKey::Record(t.module).c_str());
        if (t.type == REG_NONE)
            ASSERT_EQ(RegDeleteKeyValueW(HKEY_CURRENT_USER, record.c_str(), t.value), ERROR_SUCCESS);
        else
            RegSetKeyValueW(HKEY_CURRENT_USER, record.c_str(), t.value, t.type, t.data.data(),
                            static_cast<DWORD>(t.data.size()));
    }
    ASSERT_NE(differences(first, records()), "");
    ASSERT_EQ(Scan().exitCode, 0u);
    EXPECT_EQ(differences(first, records()), "");
}

// Neither a known-bad module nor one that is no plug-in counts as found.
TEST_F(Loop, KnownBadAndNonPluginModulesKeepTheirRecords) {
    std::wstring module = Add(L"load_recorder", L"Recorder.dll");
    std::wstring helper = Add(L"not_a_plugin", L"Helper.dll");
    key.SetDword(L"isBad", 1, TestKey::Record(module).c_str());
    ASSERT_EQ(Scan().exitCode, 0u);
    EXPECT_EQ(Loads(module), 0);
    EXPECT_TRUE(Logged(L"SIEVO: Known bad VST plugin skipped"));
    EXPECT_TRUE(Logged(L"SIEVO: NOT a VST plugin"));
    EXPECT_EQ(Value(module, L"isBad"), 1u) << "touched, so not swept";
    EXPECT_EQ(Value(helper, L"touch"), 1u);
    EXPECT_EQ(Counter(L"PluginsFound"), TestKey::kMissing) << "nothing found, nothing written";

    // Unless failed modules are rescanned.
    key.SetDword(L"rescanFailed", 1);
    ASSERT_EQ(Scan().exitCode, 0u);
    EXPECT_EQ(Loads(module), 1);
    EXPECT_EQ(Value(module, L"isBad"), 0u);
    EXPECT_TRUE(Logged(L"SIEVO: Previously scanned - NOT a VST plugin"));
    EXPECT_EQ(Value(helper, L"touch"), 1u);
}

TEST_F(Loop, RecordsOfRemovedModulesAreSweptAndCounted) {
    Add(L"not_a_plugin", L"Helper.dll");
    SeedRecord(TestKey::RecordKey(folder + L"\\Gone.dll"));
    SeedRecord(L"C:/Old/Shell.dll", 1);
    SeedRecord(L"C:/Old/Shell.dll*1 One");
    SeedRecord(L"C:/Old/Shell.dll*2 Two");
    SeedRecord(L"C:/Old/Shell.dll2.dll");
    SeedRecord(L"C:/Old/Delay.vst3", 0, L"isVst3");
    ASSERT_EQ(Scan().exitCode, 0u);
    std::vector<std::wstring> left = key.InventoryKeys();
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(_wcsicmp(left[0].c_str(), TestKey::RecordKey(folder + L"\\Helper.dll").c_str()), 0) << Narrow(left[0]);
    EXPECT_EQ(Counter(L"PluginsDeleted"), 5u) << "a plug-in, two sub-plug-ins, the prefix look-alike, a VST 3 module";
    EXPECT_TRUE(Logged(L"SIEVO: Removed 5 unavailable plugin's from VST inventory"));
}

TEST_F(Loop, ModuleWithoutShortPathIsSkippedAndItsRecordSwept) {
    std::wstring module = folder + L"\\Vanished.dll";
    SeedRecord(TestKey::RecordKey(module));
    DeleteLogs();
    ASSERT_EQ(RunSievo(key.Args() + L"/Log/ScanVst:" + module).exitCode, 0u);
    bool skipped = false;
    for (const std::wstring& line : ReadLogLines(SandboxLogPath()))
        skipped |= line.rfind(L"SIEVO: GetShortPathName failed(", 0) == 0 &&
                   line.find(L"! Skipping plugin.") != std::wstring::npos;
    EXPECT_TRUE(skipped);
    EXPECT_EQ(Value(module, L"touch"), 1u) << "a single-plug-in run neither clears nor sets marks";
    ASSERT_EQ(Scan().exitCode, 0u);
    EXPECT_EQ(Value(module, L"touch"), TestKey::kMissing) << "swept";
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
    ScanLog([&](DWORD pid) {
        auto log = ReadLogLines(MainLogPath());
        if (log.empty() || log.back().find(L"effOpen") == std::wstring::npos) return;
        if (Lines(log, L"---- Loading VST plugin", L"B_Slow.dll") == 0) return;
        if (HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, pid)) {
            TerminateProcess(process, 1);
            CloseHandle(process);
        }
    });
    ASSERT_EQ(key.Show(TestKey::Record(slow), L"isBad"), L"isBad=1") << "killed inside the plug-in: the mark stands";
    EXPECT_NE(key.Text(L"SievoProbing"), L"-");

    auto log = ScanLog();
    EXPECT_EQ(Lines(log, L"A scan ended while it probed", L"B_Slow.dll: probing it again in a sandboxed child"), 1);
    EXPECT_EQ(Lines(log, L"B_Slow.dll scanned cleanly in the sandbox", L"no longer marked bad"), 1);
    EXPECT_EQ(Shown(echo), L"isBad=0 FullName=Echo Chamber");
    EXPECT_EQ(Shown(slow), L"isBad=0 FullName=Untidy Effect");
    EXPECT_EQ(Shown(synth), L"isBad=0 FullName=Pluck Synth");
    EXPECT_EQ(key.Text(L"SievoProbing"), L"-") << "cleared once the probe is over";

    // Nothing left to look at again.
    log = ScanLog();
    EXPECT_EQ(Lines(log, L"probing it", L"sandboxed child"), 0);
}

TEST_F(Loop, CrasherStaysBadUntilItsFileChanges) {
    std::wstring killer = Add(L"exit_in_dllmain", L"A_Killer.dll");
    std::wstring echo = Add(L"effect_with_editor", L"B_Echo.dll");

    ScanLog();  // ends in the plug-in's load
    ASSERT_EQ(Shown(killer), L"isBad=1 FullName=-");

    // The scan never finished, so its mark is tried once in a child, which dies too.
    auto log = ScanLog();
    EXPECT_EQ(Lines(log, L"A scan ended while it probed", L"A_Killer.dll"), 1);
    EXPECT_EQ(Lines(log, L"A_Killer.dll failed in the sandbox too", L"stays marked bad"), 1);
    EXPECT_TRUE(Contains(log, L"SIEVO: Known bad VST plugin skipped"));
    EXPECT_EQ(Shown(killer), L"isBad=1 FullName=-");
    EXPECT_EQ(Shown(echo), L"isBad=0 FullName=Echo Chamber");

    // Confirmed: later scans skip it without a child.
    log = ScanLog();
    EXPECT_EQ(Lines(log, L"probing it", L"sandboxed child"), 0);
    EXPECT_TRUE(Contains(log, L"SIEVO: Known bad VST plugin skipped"));

    // An update replaces the file: one more chance, and it is fixed.
    ASSERT_TRUE(CopyFileW(PluginPath(L"synth_wants_midi").c_str(), killer.c_str(), FALSE));
    log = ScanLog();
    EXPECT_TRUE(Contains(
        log, L"SIEVO: Known bad VST plugin changed since it was marked: probing it once in a sandboxed child"));
    EXPECT_EQ(Shown(killer), L"isBad=0 FullName=Pluck Synth");
}

}  // namespace
