// The VST 3 probe on real test modules: what each kind of module leaves in
// its record (single mode) or in the records it appends (shell mode), and
// what the probe calls on the plug-in, in which order.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestSupport.h"
#include "core/FileVersion.h"
#include "inventory/ModuleStats.h"
#include "tests/plugins/vst3/ModuleCopy.h"

namespace {

using vst3_test::CountLines;
using vst3_test::GuidText;
using vst3_test::ModuleCopy;
using vst3_test::RunProbe;

// Lifecycle lines of the trace, without the factory's class-info lines.
std::vector<std::string> Lifecycle(const std::vector<std::string>& trace) {
    std::vector<std::string> out;
    for (const std::string& line : trace)
        if (line.rfind("getClassInfo", 0) != 0) out.push_back(line);
    return out;
}

TEST(Vst3ProbeSingle, SeparateControllerClassBecomesTheModuleRecord) {
    ModuleCopy module(L"separate_controller");
    InventoryRecord r = module.Record();
    r.isARA = 1;  // must be reset: the class does not answer ARA
    std::vector<InventoryRecord> shell;

    auto out = RunProbe(r, &shell);

    ASSERT_FALSE(out.threw);
    EXPECT_EQ(out.result, 1);
    EXPECT_TRUE(shell.empty());
    EXPECT_EQ(r.isShell, 0u);
    EXPECT_EQ(r.isShellRoot, 0u);
    EXPECT_EQ(r.numClasses, 1u);
    EXPECT_EQ(r.isVst3, 1u);
    EXPECT_EQ(r.hasVstEntryPoint, 1u);
    EXPECT_EQ(r.isX64, 1u);
    EXPECT_EQ(r.isInternal, 0u);
    EXPECT_EQ(r.factoryFlags, 16u);  // kUnicode
    EXPECT_STREQ(r.FullName, L"Separate Controller Delay");
    EXPECT_STREQ(r.Vendor, L"Tarnwell Test Labs");
    EXPECT_STREQ(r.description, L"Audio Module Class");
    EXPECT_STREQ(r.Subcategories, L"Fx|Delay");
    EXPECT_EQ(GuidText(r.clsidPlug), L"{5E9A0001-1111-2222-3333-444455556666}");
    EXPECT_EQ(GuidText(r.clsidPlugMD5), L"{5E9A0001-1111-2222-3333-444455556666}");
    EXPECT_EQ(GuidText(r.clsidProps), L"{5E9A00C1-1111-2222-3333-444455556666}");
    EXPECT_EQ(GuidText(r.clsidPropsMD5), L"{5E9A00C1-1111-2222-3333-444455556666}");
    EXPECT_EQ(GuidText(r.clsidVST3Compatible), L"{00000000-0000-0000-0000-000000000000}");
    EXPECT_EQ(r.uniqueId, 0);
    EXPECT_EQ(r.numInputs, 2u);
    EXPECT_EQ(r.maxUsedInputs, 2u);
    EXPECT_EQ(r.numOutputs, 2u);
    EXPECT_EQ(r.numParams, 57u);
    EXPECT_EQ(r.cxEditor, 240u);
    EXPECT_EQ(r.cyEditor, 400u);
    EXPECT_EQ(r.numPrograms, 0u);
    EXPECT_EQ(r.vstVersion, 3u);
    EXPECT_EQ(r.progsChunks, 1u);
    EXPECT_EQ(r.registerAsTempoBasedEffect, 1u);
    EXPECT_EQ(r.isSynth, 0u);
    EXPECT_EQ(r.wantEvents, 0u);
    EXPECT_EQ(r.generateEvents, 0u);
    EXPECT_EQ(r.doublePrecision, 0u);
    EXPECT_EQ(r.isARA, 0u);
    EXPECT_STREQ(r.dllVersion, L"3.14.15.926");
    // modStats now describes the file as it is.
    EXPECT_FALSE(ModuleChanged(r, false));
    // The module was freed again.
    EXPECT_EQ(GetModuleHandleW(module.Path().c_str()), nullptr);
}

TEST(Vst3ProbeSingle, SeparateControllerIsConnectedAndTornDownInOrder) {
    ModuleCopy module(L"separate_controller");
    InventoryRecord r = module.Record();
    ASSERT_EQ(RunProbe(r).result, 1);
    const std::vector<std::string> expected = {
        "createInstance component Separate Controller Delay",
        "initialize component Separate Controller Delay",
        "createInstance controller Separate Controller Delay",
        "initialize controller Separate Controller Delay",
        "connect component Separate Controller Delay",
        "connect controller Separate Controller Delay",
        "disconnect component Separate Controller Delay",
        "disconnect controller Separate Controller Delay",
        "terminate controller Separate Controller Delay",
        "destroy controller Separate Controller Delay",
        "terminate component Separate Controller Delay",
        "destroy component Separate Controller Delay",
        "release factory",  // the IPluginFactory2 view
        "release factory",
    };
    EXPECT_EQ(Lifecycle(module.Trace()), expected);
}

TEST(Vst3ProbeSingle, SingleComponentIsItsOwnControllerAndNeverConnected) {
    ModuleCopy module(L"single_component");
    InventoryRecord r = module.Record();
    ASSERT_EQ(RunProbe(r).result, 1);
    EXPECT_EQ(GuidText(r.clsidPlug), L"{5E9A0002-1111-2222-3333-444455556666}");
    EXPECT_EQ(GuidText(r.clsidProps), L"{5E9A0002-1111-2222-3333-444455556666}");
    EXPECT_EQ(GuidText(r.clsidPropsMD5), L"{5E9A0002-1111-2222-3333-444455556666}");
    EXPECT_EQ(r.numParams, 3u);
    EXPECT_EQ(r.cyEditor, 60u);
    EXPECT_EQ(r.numInputs, 1u);
    EXPECT_EQ(r.numOutputs, 1u);
    EXPECT_STREQ(r.dllVersion, L"");  // no version resource
    // Initialised once, never connected to itself; the controller reference
    // is released too, or the component would never be destroyed.
    const std::vector<std::string> expected = {
        "createInstance component Single Component Gain",
        "initialize component Single Component Gain",
        "terminate component Single Component Gain",
        "destroy component Single Component Gain",
        "release factory",
        "release factory",
    };
    EXPECT_EQ(Lifecycle(module.Trace()), expected);
}

TEST(Vst3ProbeSingle, BundleLayoutLoadsLikeAPlainModule) {
    sievo_test::TempDir dir;
    std::wstring inner = L"separate_controller.vst3\\Contents\\x86_64-win\\separate_controller.vst3";
    std::wstring path = dir.Copy(sievo_test::PluginDir() + L"\\bundles\\" + inner, inner);
    InventoryRecord r;
    lstrcpynW(r.FullPath, path.c_str(), 260);
    auto out = RunProbe(r);
    ASSERT_FALSE(out.threw);
    EXPECT_EQ(out.result, 1);
    EXPECT_STREQ(r.FullName, L"Separate Controller Delay");
}

TEST(Vst3ProbeSingle, ProgressWindowShowsTheClassName) {
    HWND window =
        CreateWindowExW(0, L"STATIC", L"progress", WS_OVERLAPPED, 0, 0, 200, 100, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    CreateWindowExW(0, L"STATIC", L"", WS_CHILD, 0, 0, 200, 20, window, reinterpret_cast<HMENU>(1022), nullptr,
                    nullptr);
    ModuleCopy module(L"single_component");
    InventoryRecord r = module.Record();
    ASSERT_EQ(LoadVst3Plugin(r, nullptr, window), 1);
    wchar_t text[260] = {};
    GetDlgItemTextW(window, 1022, text, 260);
    EXPECT_STREQ(text, L"Single Component Gain");
    DestroyWindow(window);
}

// One row per module that shows one capability; the other columns show what
// a plain effect reports, so a field leaking from one class to another fails.
struct Capability {
    const wchar_t* module;
    uint32_t isSynth, wantEvents, generateEvents, numInputs, numOutputs, numPrograms, doublePrecision, isARA;
    const wchar_t* subcategories;
};

class Vst3ProbeCapabilities : public ::testing::TestWithParam<Capability> {};

TEST_P(Vst3ProbeCapabilities, RecordShowsWhatTheClassOffers) {
    const Capability& c = GetParam();
    ModuleCopy module(c.module);
    InventoryRecord r = module.Record();
    auto out = RunProbe(r);
    ASSERT_FALSE(out.threw);
    ASSERT_EQ(out.result, 1);
    EXPECT_EQ(r.isSynth, c.isSynth);
    EXPECT_EQ(r.wantEvents, c.wantEvents);
    EXPECT_EQ(r.generateEvents, c.generateEvents);
    EXPECT_EQ(r.numInputs, c.numInputs);
    EXPECT_EQ(r.maxUsedInputs, c.numInputs);
    EXPECT_EQ(r.numOutputs, c.numOutputs);
    EXPECT_EQ(r.numPrograms, c.numPrograms);
    EXPECT_EQ(r.doublePrecision, c.doublePrecision);
    EXPECT_EQ(r.isARA, c.isARA);
    EXPECT_STREQ(r.Subcategories, c.subcategories);
    // An instrument is switched to advanced I/O mode before it is initialised.
    EXPECT_EQ(CountLines(module.Trace(), "setIoMode 1 "), c.isSynth ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(
    Modules, Vst3ProbeCapabilities,
    ::testing::Values(Capability{L"instrument_with_events", 1, 1, 1, 0, 2, 0, 0, 0, L"Instrument|Synth"},
                      Capability{L"sidechain_buses", 0, 0, 0, 4, 2, 0, 0, 0, L"Fx|Dynamics"},
                      Capability{L"root_unit_programs", 0, 0, 0, 0, 0, 12, 0, 0, L"Fx"},
                      Capability{L"double_precision", 0, 0, 0, 0, 0, 0, 1, 0, L"Fx"},
                      Capability{L"ara_entry_point", 0, 0, 0, 0, 0, 0, 0, 1, L"Fx"}),
    [](const ::testing::TestParamInfo<Capability>& info) { return sievo_test::Narrow(info.param.module); });

TEST(Vst3ProbeShell, SeveralAudioClassesEachGetARecord) {
    ModuleCopy module(L"shell_three_audio");
    InventoryRecord r = module.Record();
    lstrcpyW(r.FullName, L"shell_three_audio");
    r.registerAsPlug = 1;  // a user option the class records inherit
    std::vector<InventoryRecord> shell;

    auto out = RunProbe(r, &shell);

    ASSERT_FALSE(out.threw);
    EXPECT_EQ(out.result, 3);
    EXPECT_EQ(r.isShell, 1u);
    EXPECT_EQ(r.isShellRoot, 1u);
    EXPECT_EQ(r.numClasses, 3u);
    EXPECT_EQ(r.isVst3, 1u);
    EXPECT_STREQ(r.FullName, L"shell_three_audio");  // the module record keeps its own name
    ASSERT_EQ(shell.size(), 3u);
    const wchar_t* names[] = {L"Shell Synth", L"Shell Chorus", L"Shell Reverb"};
    const wchar_t* plugIds[] = {L"{5E9A0400-1111-2222-3333-444455556666}", L"{5E9A0401-1111-2222-3333-444455556666}",
                                L"{5E9A0402-1111-2222-3333-444455556666}"};
    const wchar_t* propIds[] = {L"{5E9A04C0-1111-2222-3333-444455556666}", L"{5E9A04C1-1111-2222-3333-444455556666}",
                                L"{5E9A04C2-1111-2222-3333-444455556666}"};
    const uint32_t cyEditor[] = {160, 400, 0};
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const InventoryRecord& c = shell[i];
        EXPECT_STREQ(c.FullName, names[i]);
        EXPECT_STREQ(c.FullPath, module.Path().c_str());
        EXPECT_EQ(c.uniqueId, i);
        EXPECT_EQ(GuidText(c.clsidPlug), plugIds[i]);
        EXPECT_EQ(GuidText(c.clsidProps), propIds[i]);
        EXPECT_EQ(c.isShell, 1u);
        EXPECT_EQ(c.isShellRoot, 0u);
        EXPECT_EQ(c.numClasses, 1u);
        EXPECT_EQ(c.isVst3, 1u);
        EXPECT_EQ(c.isSynth, i == 0 ? 1u : 0u);
        // Only the first class has an event input; the flag stays set.
        EXPECT_EQ(c.wantEvents, 1u);
        EXPECT_EQ(c.cyEditor, cyEditor[i]);
        EXPECT_EQ(c.registerAsPlug, 1u);
        EXPECT_STREQ(c.Vendor, L"Shell Maker");
    }
}

TEST(Vst3ProbeShell, StoredClassCountMakesEvenOneClassAShell) {
    ModuleCopy module(L"separate_controller");
    InventoryRecord r = module.Record();
    r.numClasses = 1;  // left from an earlier scan
    std::vector<InventoryRecord> shell;
    ASSERT_EQ(RunProbe(r, &shell).result, 1);
    EXPECT_EQ(r.isShell, 1u);
    EXPECT_EQ(r.isShellRoot, 1u);
    EXPECT_EQ(r.numClasses, 1u);
    EXPECT_STREQ(r.FullName, L"");
    ASSERT_EQ(shell.size(), 1u);
    EXPECT_EQ(shell[0].isShell, 1u);
    EXPECT_EQ(shell[0].isShellRoot, 0u);
    EXPECT_EQ(shell[0].numClasses, 1u);
    EXPECT_STREQ(shell[0].FullName, L"Separate Controller Delay");
}

TEST(Vst3ProbeShell, OnlyTheAudioClassOfThreeIsProcessed) {
    ModuleCopy module(L"three_classes_one_audio");
    InventoryRecord r = module.Record();
    std::vector<InventoryRecord> shell;
    ASSERT_EQ(RunProbe(r, &shell).result, 1);
    std::vector<std::string> trace = module.Trace();
    EXPECT_EQ(CountLines(trace, "getClassInfo "), 3);
    EXPECT_EQ(CountLines(trace, "createInstance "), 2);  // the audio class's component and controller
    EXPECT_EQ(r.numClasses, 3u);
    EXPECT_EQ(r.isVst3, 1u);
    ASSERT_EQ(shell.size(), 1u);
    EXPECT_STREQ(shell[0].FullName, L"Middle Audio Class");
    EXPECT_EQ(shell[0].uniqueId, 1);  // the class index, not the count of audio classes
}

TEST(Vst3ProbeShell, NoAudioClassMeansNoVst3Plugin) {
    ModuleCopy module(L"no_audio_classes");
    InventoryRecord r = module.Record();
    std::vector<InventoryRecord> shell;
    auto out = RunProbe(r, &shell);
    ASSERT_FALSE(out.threw);
    EXPECT_EQ(out.result, 0);
    EXPECT_EQ(r.isVst3, 0u);
    EXPECT_EQ(r.hasVstEntryPoint, 1u);
    EXPECT_EQ(r.numClasses, 2u);
    EXPECT_TRUE(shell.empty());
    EXPECT_EQ(CountLines(module.Trace(), "createInstance "), 0);
}

TEST(Vst3ProbeShell, CreateInstanceRefusedSkipsThatClassOnly) {
    ModuleCopy module(L"create_instance_fails");
    InventoryRecord r = module.Record();
    std::vector<InventoryRecord> shell;
    auto out = RunProbe(r, &shell);
    ASSERT_FALSE(out.threw);
    EXPECT_EQ(out.result, 1);
    ASSERT_EQ(shell.size(), 1u);
    EXPECT_STREQ(shell[0].FullName, L"Can Create");
    EXPECT_EQ(shell[0].uniqueId, 1);
}

void TouchFile(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    FILETIME time{};
    GetFileTime(file, nullptr, nullptr, &time);
    ULARGE_INTEGER t{{time.dwLowDateTime, time.dwHighDateTime}};
    t.QuadPart += 10000000ull * 3600;  // an hour later
    time.dwLowDateTime = t.LowPart;
    time.dwHighDateTime = t.HighPart;
    SetFileTime(file, nullptr, nullptr, &time);
    CloseHandle(file);
}

TEST(Vst3ProbeShell, DiscardableClassesOfAnUnchangedModuleAreNotExaminedAgain) {
    ModuleCopy module(L"discardable_classes");
    InventoryRecord r = module.Record();
    std::vector<InventoryRecord> first;
    ASSERT_EQ(RunProbe(r, &first).result, 2);
    ASSERT_EQ(first.size(), 2u);
    EXPECT_EQ(r.factoryFlags, 17u);
    size_t linesAfterFirst = module.Trace().size();

    // The stored record as the next scan reads it: same flags, count and file.
    std::vector<InventoryRecord> second;
    auto out = RunProbe(r, &second);
    ASSERT_FALSE(out.threw);
    EXPECT_EQ(out.result, 0);
    EXPECT_TRUE(second.empty());
    EXPECT_EQ(r.isVst3, 1u);
    std::vector<std::string> trace = module.Trace();
    std::vector<std::string> secondRun(trace.begin() + linesAfterFirst, trace.end());
    EXPECT_EQ(CountLines(secondRun, "getClassInfo"), 0);
    EXPECT_EQ(CountLines(secondRun, "createInstance"), 0);

    // Once the file changes, the classes are walked again.
    TouchFile(module.Path());
    std::vector<InventoryRecord> third;
    EXPECT_EQ(RunProbe(r, &third).result, 2);
    EXPECT_EQ(third.size(), 2u);
}

TEST(Vst3ProbeShell, WithoutTheDiscardableFlagAnUnchangedModuleIsWalkedAgain) {
    ModuleCopy module(L"shell_three_audio");
    InventoryRecord r = module.Record();
    std::vector<InventoryRecord> first, second;
    ASSERT_EQ(RunProbe(r, &first).result, 3);
    EXPECT_EQ(RunProbe(r, &second).result, 3);
    EXPECT_EQ(second.size(), 3u);
}

TEST(Vst3FileVersion, ReadsTheFixedVersionAndBoundsItsText) {
    std::wstring path = sievo_test::PluginDir() + L"\\separate_controller.vst3";
    wchar_t text[50];
    GetFileVersionText(path.c_str(), text, 50);
    EXPECT_STREQ(text, L"3.14.15.926");
    wchar_t small[8];
    wmemset(small, L'#', 8);
    GetFileVersionText(path.c_str(), small, 5);
    EXPECT_STREQ(small, L"3.14");
    EXPECT_EQ(small[5], L'#');
    std::wstring plain = sievo_test::PluginDir() + L"\\single_component.vst3";
    wcscpy(text, L"stale");
    GetFileVersionText(plain.c_str(), text, 50);
    EXPECT_STREQ(text, L"");
    wcscpy(text, L"stale");
    GetFileVersionText(L"C:\\no\\such\\file.vst3", text, 50);
    EXPECT_STREQ(text, L"");
}

}  // namespace
