// Full scans with the real program over real modules: which modules are
// loaded, which keep their records, what is swept and how it is counted.
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "core/Win32Owners.h"

using namespace sievo_test;

namespace {

class Loop : public ::testing::Test {
protected:
    void SetUp() override {
        DeleteLogs();
        folder = dir.Make(L"plugins");
        key.AddScanPath(folder);
    }

    RunResult Scan(const std::wstring& extra = L"") {
        DeleteLogs();
        return RunSievo(key.Args() + L"/Log" + extra);
    }
    int Loads(const std::wstring& module) {
        HANDLE f = CreateFileW((module + L".loads").c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, 0, nullptr);
        if (f == INVALID_HANDLE_VALUE) return 0;
        DWORD size = GetFileSize(f, nullptr);
        CloseHandle(f);
        return static_cast<int>(size / 5);  // "load\n" per load
    }
    static std::wstring Record(const std::wstring& module) { return TestKey::Record(module); }
    DWORD Counter(const wchar_t* name) const { return key.Dword(name, L"Inventory"); }
    DWORD Value(const std::wstring& module, const wchar_t* name) const {
        return key.Dword(name, Record(module).c_str());
    }
    // A record of a plug-in that an earlier scan found, for a module that is gone.
    void SeedRecord(const std::wstring& name, DWORD isShellRoot = 0, const wchar_t* kind = L"isVst") {
        RegKey k;
        k.Create(HKEY_CURRENT_USER, key.Sub((L"Inventory\\" + name).c_str()).c_str(), KEY_ALL_ACCESS);
        const DWORD one = 1;
        RegSetValueExW(k.Get(), kind, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), 4);
        RegSetValueExW(k.Get(), L"isShellRoot", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&isShellRoot), 4);
        RegSetValueExW(k.Get(), L"touch", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), 4);
        const wchar_t id[] = L"{141AC902-0000-0000-4142-434400000000}";
        RegSetValueExW(k.Get(), L"clsidPlug", 0, REG_SZ, reinterpret_cast<const BYTE*>(id), sizeof id);
    }

    TestKey key;
    TempDir dir;
    std::wstring folder;
};

TEST_F(Loop, UnchangedModuleIsNotLoadedAgainUntilItChanges) {
    std::wstring module = dir.Copy(PluginPath(L"load_recorder"), L"plugins\\Recorder.dll");
    ASSERT_EQ(Scan().exitCode, 0u);
    EXPECT_EQ(Loads(module), 1);
    auto first = ReadLogLines(MainLogPath());
    EXPECT_TRUE(Contains(first, L"SIEVO: VST plugin successfully scanned"));
    EXPECT_EQ(Value(module, L"isBad"), 0u);

    ASSERT_EQ(Scan().exitCode, 0u);
    EXPECT_EQ(Loads(module), 1) << "an unchanged module is never loaded";
    EXPECT_TRUE(Contains(ReadLogLines(MainLogPath()), L"SIEVO: VST plugin previously scanned"));

    // A new last-write time makes it a changed module.
    HANDLE f = CreateFileW(module.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    FILETIME later;
    GetFileTime(f, nullptr, nullptr, &later);
    later.dwHighDateTime += 1;
    SetFileTime(f, nullptr, nullptr, &later);
    CloseHandle(f);
    ASSERT_EQ(Scan().exitCode, 0u);
    EXPECT_EQ(Loads(module), 2);
}

// What a rescan that finds nothing changed leaves in every record key, value
// by value in type and bytes: the same as the scan before it. A value stored
// in another form than a scan writes (no terminator, a number as binary, a
// missing or cleared mark) is put back into the scan's form.
TEST_F(Loop, UnchangedRescanLeavesEveryRecordAsItWas) {
    std::wstring effect = dir.Copy(PluginPath(L"effect_with_editor"), L"plugins\\Effect.dll");
    std::wstring single = dir.Copy(PluginDir() + L"\\single_component.vst3", L"plugins\\Single.vst3");
    std::wstring three = dir.Copy(PluginDir() + L"\\shell_three_audio.vst3", L"plugins\\Three.vst3");
    dir.Copy(PluginPath(L"shell_three"), L"plugins\\Shell.dll");
    std::wstring helper = dir.Copy(PluginPath(L"not_a_plugin"), L"plugins\\Helper.dll");
    std::wstring bad = dir.Copy(PluginPath(L"load_recorder"), L"plugins\\Bad.dll");
    key.SetDword(L"isBad", 1, Record(bad).c_str());
    auto records = [&] {
        TestKey::Export e = key.ExportInventory();
        e.erase(L"");  // the counters of the run, not a record
        return e;
    };
    auto differences = [](const TestKey::Export& was, const TestKey::Export& now) {
        std::string out;
        for (const auto& k : was) {
            auto nk = now.find(k.first);
            if (nk == now.end()) {
                out += "gone: " + Narrow(k.first) + "\n";
                continue;
            }
            for (const auto& v : k.second) {
                auto nv = nk->second.find(v.first);
                if (nv == nk->second.end() || nv->second != v.second)
                    out += "changed: " + Narrow(k.first) + " " + Narrow(v.first) + "\n";
            }
            for (const auto& v : nk->second)
                if (!k.second.count(v.first)) out += "added: " + Narrow(k.first) + " " + Narrow(v.first) + "\n";
        }
        for (const auto& k : now)
            if (!was.count(k.first)) out += "new: " + Narrow(k.first) + "\n";
        return out;
    };

    ASSERT_EQ(Scan().exitCode, 0u);
    TestKey::Export first = records();
    ASSERT_GE(first.size(), 12u) << "six modules, six shell members";
    // A shell member's record is marked only when its shell is probed, which
    // an unchanged shell is not: its mark is cleared and stays so.
    for (auto& k : first) {
        if (k.first.find(L'*') != std::wstring::npos) {
            EXPECT_EQ(k.second.erase(L"touch"), 1u) << Narrow(k.first);
        }
    }
    ASSERT_EQ(Scan().exitCode, 0u);
    EXPECT_EQ(Counter(L"PluginsDeleted"), 0u);
    EXPECT_EQ(differences(first, records()), "");
    EXPECT_EQ(Loads(bad), 0);

    struct Tamper {
        std::wstring module;
        const wchar_t* value;
        DWORD type;  // REG_NONE: delete the value
        std::vector<BYTE> data;
    };
    std::wstring path = key.Text(L"FullPath", Record(effect).c_str());
    std::vector<BYTE> unterminated(reinterpret_cast<const BYTE*>(path.c_str()),
                                   reinterpret_cast<const BYTE*>(path.c_str() + path.size()));
    const Tamper tampers[] = {
        {effect, L"touch", REG_NONE, {}},
        {effect, L"FullPath", REG_SZ, unterminated},
        {single, L"isVst3", REG_BINARY, {1, 0, 0, 0}},
        {single, L"isBad", REG_NONE, {}},
        {three, L"touch", REG_DWORD, {0, 0, 0, 0}},
        {helper, L"isShell", REG_BINARY, {0}},
    };
    for (const Tamper& t : tampers) {
        RegKey k;
        ASSERT_EQ(k.Open(HKEY_CURRENT_USER, key.Sub(Record(t.module).c_str()).c_str(), KEY_ALL_ACCESS), ERROR_SUCCESS);
        if (t.type == REG_NONE)
            ASSERT_EQ(RegDeleteValueW(k.Get(), t.value), ERROR_SUCCESS) << Narrow(t.value);
        else
            RegSetValueExW(k.Get(), t.value, 0, t.type, t.data.data(), static_cast<DWORD>(t.data.size()));
    }
    ASSERT_NE(differences(first, records()), "");
    ASSERT_EQ(Scan().exitCode, 0u);
    EXPECT_EQ(differences(first, records()), "");
}

TEST_F(Loop, RescanExistingIsIgnoredWithNoRescanning) {
    std::wstring module = dir.Copy(PluginPath(L"load_recorder"), L"plugins\\Recorder.dll");
    key.SetDword(L"rescanExisting", 1);
    ASSERT_EQ(Scan().exitCode, 0u);
    ASSERT_EQ(Scan().exitCode, 0u);
    EXPECT_EQ(Loads(module), 2) << "rescanExisting probes every module again";
    ASSERT_EQ(Scan(L"/NoRescanning").exitCode, 0u);
    EXPECT_EQ(Loads(module), 2) << "/NoRescanning overrides the stored preference";
}

TEST_F(Loop, ModuleThatIsNoPluginKeepsARecordAndCountsNowhere) {
    std::wstring module = dir.Copy(PluginPath(L"not_a_plugin"), L"plugins\\Helper.dll");
    ASSERT_EQ(Scan().exitCode, 0u);
    EXPECT_TRUE(Contains(ReadLogLines(MainLogPath()), L"SIEVO: NOT a VST plugin"));
    EXPECT_EQ(Value(module, L"touch"), 1u);
    EXPECT_EQ(Counter(L"PluginsFound"), TestKey::kMissing) << "nothing found, nothing written";

    ASSERT_EQ(Scan().exitCode, 0u);
    auto lines = ReadLogLines(MainLogPath());
    EXPECT_TRUE(Contains(lines, L"SIEVO: Previously scanned - NOT a VST plugin"));
    EXPECT_TRUE(key.Exists(Record(module).c_str()));
}

TEST_F(Loop, KnownBadModuleIsSkippedUnlessFailedOnesAreRescanned) {
    std::wstring module = dir.Copy(PluginPath(L"load_recorder"), L"plugins\\Recorder.dll");
    key.SetDword(L"isBad", 1, Record(module).c_str());
    ASSERT_EQ(Scan().exitCode, 0u);
    EXPECT_EQ(Loads(module), 0);
    EXPECT_TRUE(Contains(ReadLogLines(MainLogPath()), L"SIEVO: Known bad VST plugin skipped"));
    EXPECT_TRUE(key.Exists(Record(module).c_str())) << "touched, so not swept";
    EXPECT_EQ(Counter(L"PluginsFound"), TestKey::kMissing);

    key.SetDword(L"rescanFailed", 1);
    ASSERT_EQ(Scan().exitCode, 0u);
    EXPECT_EQ(Loads(module), 1);
    EXPECT_EQ(Value(module, L"isBad"), 0u);

    // Marked before its code ran, a module that ends the process stays marked.
    key.SetDword(L"rescanFailed", 0);
    std::wstring killer = dir.Copy(PluginPath(L"exit_in_dllmain"), L"plugins\\Killer.dll");
    EXPECT_FALSE(Scan().timedOut);
    EXPECT_EQ(Value(killer, L"isBad"), 1u);
    ASSERT_EQ(Scan().exitCode, 0u);
    EXPECT_TRUE(Contains(ReadLogLines(MainLogPath()), L"SIEVO: Known bad VST plugin skipped"));
}

TEST_F(Loop, RecordsOfRemovedModulesAreSweptAndCounted) {
    dir.Copy(PluginPath(L"not_a_plugin"), L"plugins\\Helper.dll");
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
    EXPECT_TRUE(Contains(ReadLogLines(MainLogPath()), L"SIEVO: Removed 5 unavailable plugin's from VST inventory"));
}

TEST_F(Loop, ModuleWithoutShortPathIsSkippedAndItsRecordSwept) {
    std::wstring module = folder + L"\\Vanished.dll";
    SeedRecord(TestKey::RecordKey(module));
    DeleteLogs();
    ASSERT_EQ(RunSievo(key.Args() + L"/Log/ScanVst:" + module).exitCode, 0u);
    auto lines = ReadLogLines(SandboxLogPath());
    bool skipped = false;
    for (const std::wstring& line : lines)
        skipped |= line.rfind(L"SIEVO: GetShortPathName failed(", 0) == 0 &&
                   line.find(L"! Skipping plugin.") != std::wstring::npos;
    EXPECT_TRUE(skipped);
    EXPECT_EQ(Value(module, L"touch"), 1u) << "a single-plug-in run neither clears nor sets marks";
    ASSERT_EQ(Scan().exitCode, 0u);
    EXPECT_FALSE(key.Exists(Record(module).c_str()));
}

}  // namespace
