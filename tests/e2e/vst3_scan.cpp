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
    std::wstring Record(const std::wstring& module, const std::wstring& child = L"") {
        return L"Inventory\\" + TestKey::RecordKey(module) + child;
    }
    DWORD Dword(const std::wstring& record, const wchar_t* name) {
        DWORD v = 0xFFFFFFFF;
        key.GetDword(name, &v, record.c_str());
        return v;
    }
    std::wstring Text(const std::wstring& record, const wchar_t* name) {
        std::wstring v;
        key.GetString(name, &v, record.c_str());
        return v;
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
    std::wstring r = Record(module);
    EXPECT_EQ(Dword(r, L"isVst3"), 1u);
    EXPECT_EQ(Dword(r, L"isVst"), 0u);
    EXPECT_EQ(Dword(r, L"isShell"), 0u);
    EXPECT_EQ(Dword(r, L"numClasses"), 1u);
    EXPECT_EQ(Text(r, L"FullName"), L"Separate Controller Delay");
    EXPECT_EQ(Text(r, L"Vendor"), L"Tarnwell Test Labs");
    EXPECT_EQ(Text(r, L"description"), L"Audio Module Class");
    EXPECT_EQ(Text(r, L"clsidPlug"), L"{5E9A0001-1111-2222-3333-444455556666}");
    EXPECT_EQ(Text(r, L"clsidPlugMD5"), L"{5E9A0001-1111-2222-3333-444455556666}");
    EXPECT_EQ(Text(r, L"clsidProps"), L"{5E9A00C1-1111-2222-3333-444455556666}");
    EXPECT_EQ(Dword(r, L"cyEditor"), 400u);
    EXPECT_EQ(Dword(r, L"numInputs"), 2u);
    EXPECT_EQ(Dword(r, L"numOutputs"), 2u);
    EXPECT_EQ(Dword(r, L"vstVersion"), 3u);
    EXPECT_EQ(Dword(r, L"touch"), 1u);
    DWORD found = 0;
    key.GetDword(L"PluginsFound", &found, L"Inventory");
    EXPECT_EQ(found, 1u);
}

TEST_F(Vst3Scan, ShellModuleStoresOneRecordPerClass) {
    std::wstring module = dir.Copy(Module(L"shell_three_audio"), L"plugins\\Shell.vst3");
    ASSERT_EQ(Scan().exitCode, 0u);
    std::wstring root = Record(module);
    EXPECT_EQ(Dword(root, L"isShell"), 1u);
    EXPECT_EQ(Dword(root, L"isShellRoot"), 1u);
    EXPECT_EQ(Dword(root, L"numClasses"), 3u);
    const wchar_t* names[] = {L"Shell Synth", L"Shell Chorus", L"Shell Reverb"};
    for (int i = 0; i < 3; ++i) {
        std::wstring child = Record(module, L"*" + std::to_wstring(i) + L" " + names[i]);
        SCOPED_TRACE(Narrow(child));
        ASSERT_TRUE(key.Exists(child.c_str()));
        EXPECT_EQ(Dword(child, L"isVst3"), 1u);
        EXPECT_EQ(Dword(child, L"isShell"), 1u);
        EXPECT_EQ(Dword(child, L"isShellRoot"), 0u);
        EXPECT_EQ(Dword(child, L"uniqueId"), static_cast<DWORD>(i));
        EXPECT_EQ(Dword(child, L"wantEvents"), 1u) << "the first class asked for events; the flag stays set";
    }
    std::wstring synth = Record(module, L"*0 Shell Synth");
    EXPECT_EQ(Dword(synth, L"isSynth"), 1u);
    EXPECT_EQ(Dword(synth, L"registerAsSynth"), 1u);
    EXPECT_EQ(Dword(synth, L"registerAsTempoBasedEffect"), 0u) << "an instrument is not a tempo-based effect";
    DWORD found = 0;
    key.GetDword(L"PluginsFound", &found, L"Inventory");
    EXPECT_EQ(found, 3u);
}

TEST_F(Vst3Scan, BundleFolderAndItsModuleAreBothExamined) {
    std::wstring inner =
        dir.Copy(PluginDir() + L"\\bundles\\separate_controller.vst3\\Contents\\x86_64-win\\separate_controller.vst3",
                 L"plugins\\Delay.vst3\\Contents\\x86_64-win\\Delay.vst3");
    ASSERT_EQ(Scan().exitCode, 0u);
    EXPECT_EQ(Text(Record(inner), L"FullName"), L"Separate Controller Delay");
    std::wstring bundle = folder + L"\\Delay.vst3";
    EXPECT_TRUE(key.Exists(Record(bundle).c_str())) << "the folder is a candidate too";
    EXPECT_EQ(Dword(Record(bundle), L"isVst3"), 0u) << "a folder does not load";
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
