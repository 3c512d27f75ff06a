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
    std::wstring Record(const std::wstring& module) { return L"Inventory\\" + TestKey::RecordKey(module); }
    DWORD Dword(const std::wstring& record, const wchar_t* name) {
        DWORD v = 0xFFFFFFFF;
        key.GetDword(name, &v, record.c_str());
        return v;
    }
    std::wstring Text(const std::wstring& record, const wchar_t* name) {
        std::wstring v = L"(missing)";
        key.GetString(name, &v, record.c_str());
        return v;
    }

    TestKey key;
    TempDir dir;
    std::wstring folder;
};

TEST_F(Vst2Records, OrdinaryEffectAndSynth) {
    std::wstring echo = dir.Copy(PluginPath(L"effect_with_editor"), L"plugins\\ECHO.DLL");
    std::wstring synth = dir.Copy(PluginPath(L"synth_wants_midi"), L"plugins\\synth_wants_midi.dll");
    ASSERT_EQ(RunSievo(key.Args() + L"/Log").exitCode, 0u);

    const std::wstring e = Record(echo);
    EXPECT_EQ(Text(e, L"FullName"), L"Echo Chamber");
    EXPECT_EQ(Text(e, L"Vendor"), L"Tarnwell Test Labs");
    EXPECT_EQ(Text(e, L"description"), L"Echo Chamber Pro");
    EXPECT_EQ(Text(e, L"dllVersion"), L"1.2.3.4");
    EXPECT_EQ(Text(e, L"clsidPlug"), L"{141AC902-4543-4831-4543-484F00000000}");
    EXPECT_EQ(Text(e, L"clsidProps"), L"{141AC903-4543-4831-4543-484F00000000}");
    EXPECT_EQ(Text(e, L"clsidPlugMD5"), L"{B5E5251A-858C-6585-4D05-833BD7520CE1}");
    EXPECT_EQ(Text(e, L"clsidPropsMD5"), L"{A54FDFE5-A76B-F8B2-869D-473E952B234B}");
    EXPECT_EQ(Dword(e, L"uniqueId"), 0x45434831u);
    EXPECT_EQ(Dword(e, L"numParams"), 12u);
    EXPECT_EQ(Dword(e, L"numPrograms"), 16u);
    EXPECT_EQ(Dword(e, L"vstVersion"), 1203u);
    EXPECT_EQ(Dword(e, L"isVst"), 1u);
    EXPECT_EQ(Dword(e, L"isX64"), 1u);
    EXPECT_EQ(Dword(e, L"progsChunks"), 1u);
    EXPECT_EQ(Dword(e, L"registerAsTempoBasedEffect"), 1u);
    EXPECT_EQ(Dword(e, L"isBad"), 0u);

    const std::wstring s = Record(synth);
    EXPECT_EQ(Text(s, L"FullName"), L"Pluck Synth");
    EXPECT_EQ(Dword(s, L"isSynth"), 1u);
    EXPECT_EQ(Dword(s, L"wantEvents"), 1u);
    EXPECT_EQ(Dword(s, L"generateEvents"), 1u);
    EXPECT_EQ(Dword(s, L"numInputs"), 0u);
    EXPECT_EQ(Dword(s, L"numOutputs"), 2u);
}

TEST_F(Vst2Records, ChannelStripModuleAndShell) {
    std::wstring strip = dir.Copy(PluginPath(L"stripdeck_private_only"), L"plugins\\stripdeck_private_only.dll");
    std::wstring shell = dir.Copy(PluginPath(L"shell_three"), L"plugins\\shell_three.dll");
    ASSERT_EQ(RunSievo(key.Args() + L"/Log").exitCode, 0u);

    const std::wstring m = Record(strip);
    EXPECT_EQ(Text(m, L"FullName"), L"Strip EQ");
    EXPECT_EQ(Dword(m, L"isInternal"), 1u);
    EXPECT_EQ(Dword(m, L"hasVstEntryPoint"), 0u);
    EXPECT_EQ(Dword(m, L"isVst"), 0u);  // internal and no standard entry point
    EXPECT_EQ(Dword(m, L"moduleType"), 7u);

    const std::wstring root = Record(shell);
    EXPECT_EQ(Dword(root, L"isShellRoot"), 1u);
    EXPECT_EQ(Dword(root, L"numClasses"), 3u);
    const std::wstring alpha = root + L"*1001 Alpha from 1001";
    ASSERT_TRUE(key.Exists(alpha.c_str()));
    EXPECT_EQ(Dword(alpha, L"uniqueId"), 1001u);
    EXPECT_EQ(Dword(alpha, L"isShell"), 1u);
    EXPECT_EQ(Dword(alpha, L"isShellRoot"), 0u);
    EXPECT_EQ(Text(alpha, L"Vendor"), L"Tarnwell Shell Vendor");
    EXPECT_TRUE(key.Exists((root + L"*1002 Beta from 1002").c_str()));
    // A member that reports no name of its own keeps the listed one, backslash
    // and all; its key name has "/" there, so the key stays beside the others.
    const std::wstring gamma = root + L"*-1003 Trio/Gamma";
    EXPECT_FALSE(key.Exists((root + L"*-1003 Trio").c_str()));
    ASSERT_TRUE(key.Exists(gamma.c_str()));
    EXPECT_EQ(Text(gamma, L"FullName"), L"Trio\\Gamma");
    EXPECT_EQ(Dword(gamma, L"uniqueId"), 0xFFFFFC15u);
}

}  // namespace
