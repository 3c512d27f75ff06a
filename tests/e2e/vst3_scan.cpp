// VST 3 modules in real scans: the records the host reads, shell modules with
// one record per class under their own keys, bundles, and what a rescan of an
// unchanged module does (nothing, or for a discardable factory: no class).
#include <gtest/gtest.h>

#include <fstream>

#include "TestSupport.h"

using namespace sievo_test;

namespace {

class Vst3Scan : public ::testing::Test {
protected:
    void SetUp() override {
        folder = dir.Make(L"plugins");
        key.AddScanPath(folder);
    }
    std::wstring Module(const wchar_t* name) { return PluginDir() + L"\\" + name + L".vst3"; }
    static std::wstring Record(const std::wstring& module, const std::wstring& child = L"") {
        return TestKey::Record(module) + child;
    }
    // Lifecycle calls the module traced beside its copy.
    std::vector<std::string> Trace(const std::wstring& module) {
        std::vector<std::string> lines;
        std::ifstream in(Narrow(module + L".trace"));
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }
    static int Count(const std::vector<std::string>& lines, const std::string& prefix) {
        int n = 0;
        for (const std::string& l : lines) n += l.rfind(prefix, 0) == 0;
        return n;
    }
    RunResult Scan() { return RunSievo(key.Args()); }

    TestKey key;
    TempDir dir;
    std::wstring folder;
};

TEST_F(Vst3Scan, SingleClassModuleBecomesOneRecord) {
    std::wstring module = dir.Copy(Module(L"separate_controller"), L"plugins\\Delay.vst3");
    ASSERT_EQ(Scan().exitCode, 0u);
    EXPECT_EQ(key.Show(Record(module),
                       L"isVst3 isVst isShell numClasses FullName Vendor description clsidPlug clsidPlugMD5 "
                       L"clsidProps cyEditor numInputs numOutputs vstVersion touch"),
              L"isVst3=1 isVst=0 isShell=0 numClasses=1 FullName=Separate Controller Delay Vendor=Tarnwell Test Labs "
              L"description=Audio Module Class clsidPlug={5E9A0001-1111-2222-3333-444455556666} "
              L"clsidPlugMD5={5E9A0001-1111-2222-3333-444455556666} clsidProps={5E9A00C1-1111-2222-3333-444455556666} "
              L"cyEditor=400 numInputs=2 numOutputs=2 vstVersion=3 touch=1");
    EXPECT_EQ(key.Dword(L"PluginsFound", L"Inventory"), 1u);
}

TEST_F(Vst3Scan, ShellModuleStoresOneRecordPerClass) {
    std::wstring module = dir.Copy(Module(L"shell_three_audio"), L"plugins\\Shell.vst3");
    ASSERT_EQ(Scan().exitCode, 0u);
    EXPECT_EQ(key.Show(Record(module), L"isShell isShellRoot numClasses"), L"isShell=1 isShellRoot=1 numClasses=3");
    // The first class asked for events; the flag stays set for the others.
    // An instrument is not a tempo-based effect.
    const wchar_t* names =
        L"isVst3 isShell isShellRoot uniqueId wantEvents isSynth registerAsSynth registerAsTempoBasedEffect";
    EXPECT_EQ(key.Show(Record(module, L"*0 Shell Synth"), names),
              L"isVst3=1 isShell=1 isShellRoot=0 uniqueId=0 wantEvents=1 isSynth=1 registerAsSynth=1 "
              L"registerAsTempoBasedEffect=0");
    for (int id : {1, 2}) {
        const std::wstring member = id == 1 ? L"*1 Shell Chorus" : L"*2 Shell Reverb";
        EXPECT_EQ(key.Show(Record(module, member), L"isVst3 isShell isShellRoot uniqueId wantEvents"),
                  L"isVst3=1 isShell=1 isShellRoot=0 uniqueId=" + std::to_wstring(id) + L" wantEvents=1");
    }
    EXPECT_EQ(key.Dword(L"PluginsFound", L"Inventory"), 3u);
}

TEST_F(Vst3Scan, BundleFolderAndItsModuleAreBothExamined) {
    std::wstring inner =
        dir.Copy(PluginDir() + L"\\bundles\\separate_controller.vst3\\Contents\\x86_64-win\\separate_controller.vst3",
                 L"plugins\\Delay.vst3\\Contents\\x86_64-win\\Delay.vst3");
    ASSERT_EQ(Scan().exitCode, 0u);
    EXPECT_EQ(key.Text(L"FullName", Record(inner).c_str()), L"Separate Controller Delay");
    EXPECT_EQ(key.Dword(L"isVst3", Record(folder + L"\\Delay.vst3").c_str()), 0u)
        << "the folder is a candidate too, and does not load";
}

TEST_F(Vst3Scan, UnchangedModuleIsNotLoadedAgain) {
    std::wstring module = dir.Copy(Module(L"separate_controller"), L"plugins\\Delay.vst3");
    ASSERT_EQ(Scan().exitCode, 0u);
    size_t first = Trace(module).size();
    ASSERT_GT(first, 0u);
    ASSERT_EQ(Scan().exitCode, 0u);
    EXPECT_EQ(Trace(module).size(), first);
}

TEST_F(Vst3Scan, DiscardableModuleIsOpenedButExaminesNoClassWhenUnchanged) {
    std::wstring module = dir.Copy(Module(L"discardable_classes"), L"plugins\\Discard.vst3");
    ASSERT_EQ(Scan().exitCode, 0u);
    EXPECT_EQ(Count(Trace(module), "getClassInfo"), 2);
    int releasesPerScan = Count(Trace(module), "release factory");
    ASSERT_GT(releasesPerScan, 0);
    std::wstring one = Record(module, L"*0 Discardable One");
    ASSERT_TRUE(key.Exists(one.c_str()));

    ASSERT_EQ(Scan().exitCode, 0u);
    auto trace = Trace(module);
    EXPECT_EQ(Count(trace, "getClassInfo"), 2) << "no class examined on the second scan";
    EXPECT_EQ(Count(trace, "release factory"), 2 * releasesPerScan) << "but the module was opened again";
    EXPECT_TRUE(key.Exists(one.c_str())) << "the stored class records stand";
    EXPECT_TRUE(key.Exists(Record(module, L"*1 Discardable Two").c_str()));
}

}  // namespace
