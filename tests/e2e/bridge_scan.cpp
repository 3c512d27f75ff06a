// 32-bit DLLs reach the 64-bit scanner through "Gantry.dll" beside a copy of
// Sievo.exe, with or without the bridge stand-in and its 64-bit twins.
#include <gtest/gtest.h>

#include "TestSupport.h"

using namespace sievo_test;

namespace {

// build\gantry and build\plugins32, beside build\plugins.
std::wstring BuildDir(const wchar_t* sub) {
    return PluginDir().substr(0, PluginDir().find_last_of(L'\\') + 1) + sub;
}

class BridgeScan : public ::testing::Test {
protected:
    void SetUp() override {
        key.AddScanPath(dir.Make(L"plugins"));
        program = dir.Copy(BinDir() + L"\\Sievo.exe", L"program\\Sievo.exe");
    }

    void InstallBridge() {
        dir.Copy(BuildDir(L"gantry\\Gantry.dll"), L"program\\Gantry.dll");
        for (const wchar_t* file : {L"bridged_effect.dll", L"bridged_synth.dll", L"bridged_shell.dll"})
            dir.Copy(BuildDir(L"gantry\\gantry64\\") + file, L"program\\gantry64\\" + std::wstring(file));
    }
    std::wstring Add32(const wchar_t* name) {
        return dir.Copy(BuildDir(L"plugins32\\") + name + L".dll", std::wstring(L"plugins\\") + name + L".dll");
    }
    // The 64-bit twin of the same source, loaded directly, for comparison.
    std::wstring AddNative(const wchar_t* name) {
        return dir.Copy(PluginPath(name), std::wstring(L"plugins\\native\\") + name + L".dll");
    }

    void Scan() {
        DeleteLogs();
        Sievo sievo(key.Args() + L"/Log", program);
        ASSERT_EQ(sievo.WaitExit(60000), 0u) << "the scan did not end";
        lines = ReadLogLines(MainLogPath());
    }
    std::wstring Show(const std::wstring& module, const wchar_t* names, const std::wstring& member = L"") const {
        return key.Show(TestKey::Record(module) + member, names);
    }
    // Index of `line` within the module's probe (up to the next module's), or
    // -1. The logged path may differ in letter case.
    int LineFor(const std::wstring& module, const std::wstring& line) {
        const std::wstring probeStart = L"SIEVO: ---- Loading VST plugin ";
        size_t i = 0;
        while (i < lines.size() && _wcsicmp(lines[i].c_str(), (probeStart + module + L" ----").c_str())) ++i;
        for (++i; i < lines.size() && lines[i].rfind(probeStart, 0) != 0; ++i)
            if (lines[i] == line) return static_cast<int>(i);
        return -1;
    }

    TestKey key;
    TempDir dir;
    std::wstring program;
    std::vector<std::wstring> lines;
};

TEST_F(BridgeScan, ThirtyTwoBitPluginsAreRecordedThroughTheBridge) {
    InstallBridge();
    std::wstring bridged = Add32(L"bridged_effect");
    std::wstring native = AddNative(L"bridged_effect");
    std::wstring synth = Add32(L"bridged_synth");
    std::wstring nativeSynth = AddNative(L"bridged_synth");
    std::wstring shell = Add32(L"bridged_shell");
    Scan();

    // The 64-bit scanner cannot load the 32-bit build; the bridge serves it.
    int failed = LineFor(bridged, L"SIEVO: Normal DLL load failed, attempting to load with Gantry...");
    ASSERT_GT(failed, 0);
    EXPECT_EQ(IndexOf(lines, L"SIEVO: Load Gantry.DLL...", failed), failed + 1);
    EXPECT_EQ(IndexOf(lines, L"SIEVO: Load successful with Gantry...", failed), failed + 2);
    EXPECT_EQ(LineFor(native, L"SIEVO: Normal DLL load failed, attempting to load with Gantry..."), -1);

    // Capabilities are asked through the bridge too (tempo-based effect).
    const wchar_t* names = L"isX64 isVst Vendor FullName uniqueId numParams cyEditor registerAsTempoBasedEffect";
    const std::wstring same =
        L"isVst=1 Vendor=Tarnwell Bridge Labs FullName=Bridged Echo uniqueId=1114785123 "
        L"numParams=3 cyEditor=60 registerAsTempoBasedEffect=1";
    EXPECT_EQ(Show(bridged, names), L"isX64=0 " + same);
    EXPECT_EQ(Show(native, names), L"isX64=1 " + same) << "the same source loaded directly";

    // A bridged instrument is stored without delay compensation; loaded
    // directly, the same one keeps the default.
    EXPECT_EQ(Show(synth, L"isX64 isSynth numOutputs delayCompensation"),
              L"isX64=0 isSynth=1 numOutputs=4 delayCompensation=0");
    EXPECT_EQ(Show(nativeSynth, L"isSynth delayCompensation"), L"isSynth=1 delayCompensation=1");

    // Each shell member's name and parameter count is its own: the bridge
    // created the one whose id the scanner had set.
    EXPECT_EQ(Show(shell, L"isShell isShellRoot isX64 numClasses"), L"isShell=1 isShellRoot=1 isX64=0 numClasses=2");
    const wchar_t* memberNames = L"uniqueId FullName numParams isX64 isShellRoot Vendor";
    const std::wstring rest = L" isX64=0 isShellRoot=0 Vendor=Tarnwell Shell Vendor";
    EXPECT_EQ(Show(shell, memberNames, L"*2001 Organ from 2001"),
              L"uniqueId=2001 FullName=Organ from 2001 numParams=5" + rest);
    EXPECT_EQ(Show(shell, memberNames, L"*2002 Pad from 2002"),
              L"uniqueId=2002 FullName=Pad from 2002 numParams=8" + rest);
    EXPECT_GT(LineFor(shell, L"SIEVO: Scan VST Shell plugins..."), LineFor(shell, L"SIEVO: Enumerate VST Shell..."));
}

// Without the bridge (ERROR_MOD_NOT_FOUND, the bridge's own error, not the
// plug-in's), or with a bridge file that is no module (ERROR_BAD_EXE_FORMAT):
// only the bookkeeping of a module that is no plug-in, and the scan goes on.
TEST_F(BridgeScan, WithoutAWorkingBridgeNothingIsRecordedAndTheScanGoesOn) {
    std::wstring bridged = Add32(L"bridged_effect");
    std::wstring after = dir.Copy(PluginPath(L"bridged_synth"), L"plugins\\zz_native_synth.dll");
    key.SetDword(L"rescanExisting", 1);
    for (const wchar_t* error : {L"7e", L"c1"}) {
        if (error[0] == L'c') dir.Write(L"program\\Gantry.dll", "not a module");
        Scan();
        int failed = LineFor(bridged, L"SIEVO: DLL load failed...");
        ASSERT_GT(failed, 0);
        const std::wstring start = L"hPlugin is NULL, plugin failed to load with error " + std::wstring(error) + L", ";
        EXPECT_EQ(lines.at(failed + 1).rfind(start, 0), 0u) << Narrow(lines.at(failed + 1));
        EXPECT_GT(lines.at(failed + 1).size(), start.size()) << "the system's text for the code follows";
        EXPECT_GT(IndexOf(lines, L"SIEVO: Failed to create VST plugin instance...", failed), failed);
        EXPECT_EQ(Show(bridged, L"touch isBad isVst Vendor uniqueId"), L"touch=1 isBad=0 isVst=0 Vendor=- uniqueId=-");
        EXPECT_EQ(Show(after, L"FullName isX64"), L"FullName=Bridged Keys isX64=1") << "the scan went on";
    }
}

}  // namespace
