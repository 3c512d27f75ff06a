// Full scans with the real program over well-behaved VST 2 plug-ins: the
// records it stores in the registry carry what each plug-in reports.
#include <gtest/gtest.h>

#include "TestSupport.h"

using namespace sievo_test;

namespace {

class Vst2Records : public ::testing::Test {
protected:
    void SetUp() override {
        DeleteLogs();
        folder = dir.Make(L"plugins");
        key.AddScanPath(folder);
    }
    static std::wstring Record(const std::wstring& module) { return TestKey::Record(module); }

    TestKey key;
    TempDir dir;
    std::wstring folder;
};

TEST_F(Vst2Records, OrdinaryEffectAndSynth) {
    std::wstring echo = dir.Copy(PluginPath(L"effect_with_editor"), L"plugins\\ECHO.DLL");
    std::wstring synth = dir.Copy(PluginPath(L"synth_wants_midi"), L"plugins\\synth_wants_midi.dll");
    ASSERT_EQ(RunSievo(key.Args() + L"/Log").exitCode, 0u);

    EXPECT_EQ(
        key.Show(Record(echo),
                 L"FullName Vendor description dllVersion clsidPlug clsidProps clsidPlugMD5 clsidPropsMD5 uniqueId "
                 L"numParams numPrograms vstVersion isVst isX64 progsChunks registerAsTempoBasedEffect isBad"),
        L"FullName=Echo Chamber Vendor=Tarnwell Test Labs description=Echo Chamber Pro dllVersion=1.2.3.4 "
        L"clsidPlug={141AC902-4543-4831-4543-484F00000000} clsidProps={141AC903-4543-4831-4543-484F00000000} "
        L"clsidPlugMD5={B5E5251A-858C-6585-4D05-833BD7520CE1} "
        L"clsidPropsMD5={A54FDFE5-A76B-F8B2-869D-473E952B234B} uniqueId=1162037297 numParams=12 "
        L"numPrograms=16 vstVersion=1203 isVst=1 isX64=1 progsChunks=1 registerAsTempoBasedEffect=1 isBad=0");
    EXPECT_EQ(key.Show(Record(synth), L"FullName isSynth wantEvents generateEvents numInputs numOutputs"),
              L"FullName=Pluck Synth isSynth=1 wantEvents=1 generateEvents=1 numInputs=0 numOutputs=2");
}

TEST_F(Vst2Records, ChannelStripModuleAndShell) {
    std::wstring strip = dir.Copy(PluginPath(L"stripdeck_private_only"), L"plugins\\stripdeck_private_only.dll");
    std::wstring shell = dir.Copy(PluginPath(L"shell_three"), L"plugins\\shell_three.dll");
    ASSERT_EQ(RunSievo(key.Args() + L"/Log").exitCode, 0u);

    // Internal, and no standard entry point: no VST plug-in.
    EXPECT_EQ(key.Show(Record(strip), L"FullName isInternal hasVstEntryPoint isVst moduleType"),
              L"FullName=Strip EQ isInternal=1 hasVstEntryPoint=0 isVst=0 moduleType=7");

    const std::wstring root = Record(shell);
    EXPECT_EQ(key.Show(root, L"isShellRoot numClasses"), L"isShellRoot=1 numClasses=3");
    EXPECT_EQ(key.Show(root + L"*1001 Alpha from 1001", L"uniqueId isShell isShellRoot Vendor"),
              L"uniqueId=1001 isShell=1 isShellRoot=0 Vendor=Tarnwell Shell Vendor");
    EXPECT_TRUE(key.Exists((root + L"*1002 Beta from 1002").c_str()));
    // A member that reports no name of its own keeps the listed one, backslash
    // and all; its key name has "/" there, so the key stays beside the others.
    const std::wstring gamma = root + L"*-1003 Trio/Gamma";
    EXPECT_FALSE(key.Exists((root + L"*-1003 Trio").c_str()));
    EXPECT_EQ(key.Show(gamma, L"FullName uniqueId"), L"FullName=Trio\\Gamma uniqueId=4294966293");
}

}  // namespace
