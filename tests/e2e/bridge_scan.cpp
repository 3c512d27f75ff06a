// DLLs the 64-bit scanner cannot load itself (the 32-bit builds of the bridge
// fleet) reach it through "Gantry.dll" beside the program. Each test runs a
// copy of Sievo.exe in a folder of its own, with or without the bridge
// stand-in and the 64-bit twins it serves, over a scan folder of copies.
#include <gtest/gtest.h>

#include <string>

#include "TestSupport.h"
#include "vst2/Vst2Abi.h"

using namespace sievo_test;

namespace {

constexpr const wchar_t* kFleet[] = {L"bridged_effect", L"bridged_synth", L"bridged_shell"};

std::wstring BuildDir() {
    std::wstring bin = BinDir();
    return bin.substr(0, bin.find_last_of(L'\\'));
}
std::wstring Plugin32Path(const wchar_t* name) {
    return BuildDir() + L"\\plugins32\\" + name + L".dll";
}
std::wstring GantryDir() {
    return BuildDir() + L"\\gantry";
}

class BridgeScan : public ::testing::Test {
protected:
    void SetUp() override {
        DeleteLogs();
        scanFolder = dir.Make(L"plugins");
        key.AddScanPath(scanFolder);
        program = dir.Copy(BinDir() + L"\\Sievo.exe", L"program\\Sievo.exe");
    }

    void InstallBridge() {
        ASSERT_NE(GetFileAttributesW((GantryDir() + L"\\Gantry.dll").c_str()), INVALID_FILE_ATTRIBUTES);
        dir.Copy(GantryDir() + L"\\Gantry.dll", L"program\\Gantry.dll");
        for (const wchar_t* name : kFleet) {
            std::wstring file = std::wstring(name) + L".dll";
            dir.Copy(GantryDir() + L"\\gantry64\\" + file, L"program\\gantry64\\" + file);
        }
    }
    std::wstring Add32(const wchar_t* name) {
        return dir.Copy(Plugin32Path(name), std::wstring(L"plugins\\") + name + L".dll");
    }
    // The 64-bit twin of the same source, loaded directly, for comparison.
    std::wstring AddNative(const wchar_t* name) {
        return dir.Copy(PluginPath(name), std::wstring(L"plugins\\native\\") + name + L".dll");
    }

    // Runs the copy of the program with exactly this text after its name.
    void Scan() {
        DeleteLogs();
        std::wstring commandLine = L"\"" + program + L"\" " + key.Args() + L"/Log";
        STARTUPINFOW si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi{};
        ASSERT_TRUE(
            CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
        const bool finished = WaitForSingleObject(pi.hProcess, 60000) == WAIT_OBJECT_0;
        if (!finished) {
            TerminateProcess(pi.hProcess, 1);
            WaitForSingleObject(pi.hProcess, 5000);
        }
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
        ASSERT_TRUE(finished) << "the scan did not end";
        lines = ReadLogLines(MainLogPath());
    }

    std::wstring Record(const std::wstring& module, const std::wstring& sub = L"") {
        return L"Inventory\\" + TestKey::RecordKey(module) + sub;
    }
    DWORD Dword(const std::wstring& record, const wchar_t* name) {
        DWORD value = 0xDEADBEEF;
        key.GetDword(name, &value, record.c_str());
        return value;
    }
    std::wstring Text(const std::wstring& record, const wchar_t* name) {
        std::wstring value = L"<absent>";
        key.GetString(name, &value, record.c_str());
        return value;
    }
    // Index of `line` within the module's probe (from its first log line to
    // the next module's), or -1. The program logs the path as the scan found
    // it, which may differ in letter case.
    int LineFor(const std::wstring& module, const std::wstring& line) {
        const std::wstring probeStart = L"SIEVO: ---- Loading VST plugin ";
        const std::wstring start = probeStart + module + L" ----";
        const int count = static_cast<int>(lines.size());
        int i = 0;
        while (i < count && _wcsicmp(lines[i].c_str(), start.c_str()) != 0) ++i;
        for (++i; i < count && lines[i].rfind(probeStart, 0) != 0; ++i)
            if (lines[i] == line) return i;
        return -1;
    }

    TestKey key;
    TempDir dir;
    std::wstring scanFolder;
    std::wstring program;
    std::vector<std::wstring> lines;
};

TEST_F(BridgeScan, ThirtyTwoBitEffectIsRecordedAsBridgedWithoutTheServerSuffix) {
    InstallBridge();
    std::wstring bridged = Add32(L"bridged_effect");
    std::wstring native = AddNative(L"bridged_effect");
    Scan();

    // The 64-bit scanner cannot load the 32-bit build; the bridge serves it.
    int failed = LineFor(bridged, L"SIEVO: Normal DLL load failed, attempting to load with Gantry...");
    ASSERT_GT(failed, 0);
    EXPECT_EQ(IndexOf(lines, L"SIEVO: Load Gantry.DLL...", failed), failed + 1);
    EXPECT_EQ(IndexOf(lines, L"SIEVO: Load successful with Gantry...", failed), failed + 2);
    EXPECT_EQ(LineFor(native, L"SIEVO: Normal DLL load failed, attempting to load with Gantry..."), -1);

    const std::wstring r = Record(bridged);
    EXPECT_EQ(Dword(r, L"isX64"), 0u);
    EXPECT_EQ(Dword(r, L"isVst"), 1u);
    EXPECT_EQ(Text(r, L"Vendor"), L"Tarnwell Bridge Labs");
    EXPECT_EQ(Text(r, L"description"), L"Bridged Echo Pro");
    EXPECT_EQ(Text(r, L"FullName"), L"Bridged Echo");
    EXPECT_EQ(Dword(r, L"uniqueId"), 0x42724563u);
    EXPECT_EQ(Dword(r, L"numParams"), 3u);
    EXPECT_EQ(Dword(r, L"numPrograms"), 4u);
    EXPECT_EQ(Dword(r, L"vstVersion"), 1203u);
    EXPECT_EQ(Dword(r, L"cyEditor"), 60u);
    EXPECT_EQ(Dword(r, L"registerAsTempoBasedEffect"), 1u) << "capabilities are asked through the bridge";

    // The same source loaded directly: a 64-bit record, otherwise the same.
    const std::wstring n = Record(native);
    EXPECT_EQ(Dword(n, L"isX64"), 1u);
    EXPECT_EQ(Text(n, L"Vendor"), L"Tarnwell Bridge Labs");
    EXPECT_EQ(Text(n, L"description"), L"Bridged Echo Pro");
}

TEST_F(BridgeScan, BridgedSynthIsStoredWithoutDelayCompensation) {
    InstallBridge();
    std::wstring bridged = Add32(L"bridged_synth");
    std::wstring native = AddNative(L"bridged_synth");
    Scan();

    const std::wstring r = Record(bridged);
    EXPECT_EQ(Dword(r, L"isX64"), 0u);
    EXPECT_EQ(Dword(r, L"isSynth"), 1u);
    EXPECT_EQ(Dword(r, L"wantEvents"), 1u);
    EXPECT_EQ(Dword(r, L"numOutputs"), 4u);
    EXPECT_EQ(Text(r, L"description"), L"Bridged Keys Studio");
    EXPECT_EQ(Dword(r, L"delayCompensation"), 0u);
    // Loaded directly, the same instrument keeps the default.
    EXPECT_EQ(Dword(Record(native), L"isSynth"), 1u);
    EXPECT_EQ(Dword(Record(native), L"delayCompensation"), 1u);
}

TEST_F(BridgeScan, BridgedShellCreatesEverySubPluginThroughTheBridge) {
    InstallBridge();
    std::wstring shell = Add32(L"bridged_shell");
    Scan();

    const std::wstring root = Record(shell);
    EXPECT_EQ(Dword(root, L"isShell"), 1u);
    EXPECT_EQ(Dword(root, L"isShellRoot"), 1u);
    EXPECT_EQ(Dword(root, L"isX64"), 0u);
    EXPECT_EQ(Dword(root, L"numClasses"), 2u);

    struct Expected {
        const wchar_t* keySuffix;
        DWORD id;
        const wchar_t* name;
        DWORD numParams;
    };
    // Each name and parameter count is the sub-plug-in's own: the bridge
    // created the one whose id the scanner had set.
    for (const Expected& e : {Expected{L"*2001 Organ from 2001", 2001, L"Organ from 2001", 5},
                              Expected{L"*2002 Pad from 2002", 2002, L"Pad from 2002", 8}}) {
        const std::wstring sub = Record(shell, e.keySuffix);
        ASSERT_TRUE(key.Exists(sub.c_str())) << e.keySuffix;
        EXPECT_EQ(Dword(sub, L"uniqueId"), e.id);
        EXPECT_EQ(Text(sub, L"FullName"), e.name);
        EXPECT_EQ(Dword(sub, L"numParams"), e.numParams);
        EXPECT_EQ(Dword(sub, L"isX64"), 0u);
        EXPECT_EQ(Dword(sub, L"isShell"), 1u);
        EXPECT_EQ(Dword(sub, L"isShellRoot"), 0u);
        EXPECT_EQ(Text(sub, L"Vendor"), L"Tarnwell Shell Vendor");
        EXPECT_EQ(Text(sub, L"description"), L"Shell Member");
        EXPECT_EQ(Dword(sub, L"delayCompensation"), 0u) << "a bridged instrument";
    }
    const int listed = LineFor(shell, L"SIEVO: Enumerate VST Shell...");
    EXPECT_GT(listed, 0);
    EXPECT_GT(LineFor(shell, L"SIEVO: Scan VST Shell plugins..."), listed);
    EXPECT_GT(LineFor(shell, L"SIEVO: Load successful with Gantry..."), 0);
}

TEST_F(BridgeScan, WithoutTheBridgeNothingIsRecordedAndTheScanGoesOn) {
    std::wstring bridged = Add32(L"bridged_effect");
    std::wstring after = dir.Copy(PluginPath(L"bridged_synth"), L"plugins\\zz_native_synth.dll");
    Scan();

    int failed = LineFor(bridged, L"SIEVO: DLL load failed...");
    ASSERT_GT(failed, 0);
    ASSERT_LT(failed + 1, static_cast<int>(lines.size()));
    // ERROR_MOD_NOT_FOUND: the bridge's own error, not the plug-in's.
    EXPECT_EQ(lines[failed + 1].rfind(L"hPlugin is NULL, plugin failed to load with error 7e, ", 0), 0u)
        << lines[failed + 1];
    EXPECT_GT(lines[failed + 1].size(), std::wstring(L"hPlugin is NULL, plugin failed to load with error 7e, ").size())
        << "the system's text for the code follows";
    EXPECT_GT(IndexOf(lines, L"SIEVO: Failed to create VST plugin instance...", failed), failed);

    // Only the bookkeeping of a module that is no plug-in.
    const std::wstring r = Record(bridged);
    ASSERT_TRUE(key.Exists(r.c_str()));
    EXPECT_EQ(Dword(r, L"touch"), 1u);
    EXPECT_EQ(Dword(r, L"isBad"), 0u);
    EXPECT_NE(Dword(r, L"isVst"), 1u);
    EXPECT_NE(Text(r, L"Vendor"), L"Tarnwell Bridge Labs");
    EXPECT_NE(Dword(r, L"uniqueId"), 0x42724563u);

    // The scan went on to the next module.
    EXPECT_EQ(Text(Record(after), L"FullName"), L"Bridged Keys");
    EXPECT_EQ(Dword(Record(after), L"isX64"), 1u);
}

TEST_F(BridgeScan, ABridgeThatDoesNotLoadIsReportedWithItsError) {
    dir.Write(L"program\\Gantry.dll", "not a module");
    std::wstring bridged = Add32(L"bridged_effect");
    Scan();

    int failed = LineFor(bridged, L"SIEVO: DLL load failed...");
    ASSERT_GT(failed, 0);
    ASSERT_LT(failed + 1, static_cast<int>(lines.size()));
    // ERROR_BAD_EXE_FORMAT: the bridge file is there but is no module.
    EXPECT_EQ(lines[failed + 1].rfind(L"hPlugin is NULL, plugin failed to load with error c1, ", 0), 0u)
        << lines[failed + 1];
    EXPECT_NE(Dword(Record(bridged), L"isVst"), 1u);
}

// The stand-in itself, as the scanner's tests rely on it: each call creates
// a new relayed instance of the twin, names carry the server suffix, and a
// shell creates what the host's current id names.
intptr_t g_currentId = 0;
intptr_t AnswerCurrentId(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
    return opcode == audioMasterCurrentId ? g_currentId : 0;
}

class BridgeStandIn : public ::testing::Test {
protected:
    void SetUp() override {
        bridge = LoadLibraryW((GantryDir() + L"\\Gantry.dll").c_str());
        ASSERT_NE(bridge, nullptr);
        load = reinterpret_cast<AEffect* (*)(const char*, audioMasterCallback)>(
            reinterpret_cast<void*>(GetProcAddress(bridge, "LoadVST32")));
        ASSERT_NE(load, nullptr);
    }
    void TearDown() override {
        if (bridge) FreeLibrary(bridge);
    }
    AEffect* Load(const wchar_t* name) { return load(Narrow(Plugin32Path(name)).c_str(), AnswerCurrentId); }
    static std::string Ask(AEffect* effect, int32_t opcode) {
        char text[256] = {};
        effect->dispatcher(effect, opcode, 0, 0, text, 0.0f);
        return text;
    }

    HMODULE bridge = nullptr;
    AEffect* (*load)(const char*, audioMasterCallback) = nullptr;
};

TEST_F(BridgeStandIn, RelaysTheTwinWithTheServerSuffix) {
    g_currentId = 0;
    AEffect* effect = Load(L"bridged_effect");
    ASSERT_NE(effect, nullptr);
    EXPECT_EQ(effect->magic, kEffectMagic);
    EXPECT_EQ(effect->uniqueID, 0x42724563);
    EXPECT_EQ(Ask(effect, effGetVendorString), "Tarnwell Bridge Labs (0)");
    EXPECT_EQ(Ask(effect, effGetProductString), "Bridged Echo Pro (0)");
    EXPECT_EQ(Ask(effect, effGetEffectName), "Bridged Echo");
    AEffect* second = Load(L"bridged_effect");
    ASSERT_NE(second, nullptr);
    EXPECT_NE(second, effect) << "every call creates an instance";
    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
    second->dispatcher(second, effClose, 0, 0, nullptr, 0.0f);
    EXPECT_EQ(GetModuleHandleW(L"bridged_effect.dll"), nullptr) << "closed instances release the twin";

    EXPECT_EQ(load("C:\\nowhere\\bridged_effect.dll", AnswerCurrentId), nullptr) << "no such file";
    EXPECT_EQ(Load(L"no_such_twin"), nullptr);
}

TEST_F(BridgeStandIn, ShellCreatesTheSubPluginTheCurrentIdNames) {
    g_currentId = 2002;
    AEffect* pad = Load(L"bridged_shell");
    ASSERT_NE(pad, nullptr);
    EXPECT_EQ(Ask(pad, effGetEffectName), "Pad from 2002");
    EXPECT_EQ(pad->numParams, 8);
    pad->dispatcher(pad, effClose, 0, 0, nullptr, 0.0f);
    g_currentId = 0;
    AEffect* root = Load(L"bridged_shell");
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->dispatcher(root, effGetPlugCategory, 0, 0, nullptr, 0.0f), kPlugCategShell);
    root->dispatcher(root, effClose, 0, 0, nullptr, 0.0f);
}

}  // namespace
