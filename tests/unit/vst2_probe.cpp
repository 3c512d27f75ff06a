// The VST 2 probe in this process on copies of the test plug-ins: record
// fields a scan's checks do not reach, channel strips and shells, and what
// the host callback answers.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "TestSupport.h"
#include "diag/FailurePoint.h"
#include "diag/FaultGuard.h"
#include "vst2/Vst2Probe.h"

namespace {

using namespace sievo_test;

struct Probed {
    std::wstring path;
    InventoryRecord record;
    std::vector<InventoryRecord> subRecords;
    DWORD count = 0;
    bool returned = false;  // false: the guard caught an exception
};

// Copies plugins\<plugin>.dll to <dir>\<fileName> and probes it under the guard.
Probed ProbeCopy(const TempDir& dir, const wchar_t* plugin, const wchar_t* fileName = nullptr) {
    Probed p;
    p.path = dir.Copy(PluginPath(plugin), fileName ? fileName : std::wstring(plugin) + L".dll");
    // Named after its file, as the analysis loop names a new record.
    wcsncpy(p.record.FullPath, p.path.c_str(), 259);
    const std::wstring file = p.path.substr(p.path.find_last_of(L'\\') + 1);
    wcsncpy(p.record.FullName, file.substr(0, file.rfind(L'.')).c_str(), 259);
    p.record.jBridgeLoader = 1;  // cleared for channel strips
    p.returned = RunGuarded([&] { p.count = LoadVst2Plugin(p.record, &p.subRecords, nullptr); });
    return p;
}

const bool kLog = KeepScanLogOpen();

TEST(Vst2Probe, PluginsFillTheirRecordsAsTheirSourcesReport) {
    const struct {
        const wchar_t *plugin, *fullName, *vendor, *description, *dllVersion;
        std::vector<int64_t> numbers;
    } cases[] = {
        // clang-format off
        //  uniqueId  in out params progs version isVst synth chunks double wantEv genEv tempo cx cy
        {L"synth_wants_midi", L"Pluck Synth", L"Tarnwell Test Labs", L"Pluck", L"",
         {0x504C4B31, 0, 2, 30, 64, 1000, 1, 1, 0, 0, 1, 1, 0, 0, 0}},
        {L"no_editor_7_params", L"Seven Knobs", L"Caf\u00e9 Audio", L"Seven", L"",
         {0x53564E37, 1, 1, 7, 3, 7, 1, 0, 0, 1, 0, 0, 0, 240, 140}},
        // Loaded directly, so the " (0)" the bridge would add stays; the generic editor stops at twenty rows.
        {L"no_editor_50_params", L"Fifty Faders", L"Tarnwell Test Labs", L"Fifty (0)", L"",
         {0x46494654, 4, 6, 50, 0, 2400, 1, 0, 0, 0, 1, 1, 0, 240, 400}},
        {L"offline_norealtime", L"Offline Renderer", L"Tarnwell Test Labs", L"Renderer", L"",
         {0x4F46464C, 2, 2, 0, 1, 1000, 0, 0, 0, 0, 0, 0, 1, 0, 0}},
        // "main" is looked up before "Main".
        {L"entry_main_and_capital_main", L"Created by main", L"Tarnwell Test Labs", L"", L"",
         {0x6D61696E, 2, 2, 0, 1, 1000, 1, 0, 0, 0, 0, 0, 0, 0, 0}},
        {L"version_high_numbers", L"Versioned", L"Tarnwell Test Labs", L"", L"65535.0.10.65000",
         {0x56455253, 2, 2, 0, 1, 1000, 1, 0, 0, 0, 0, 0, 0, 0, 0}},
        {L"absurd_counts", L"Absurd Counts", L"Tarnwell Test Labs", L"", L"",
         {-123456789, 0x7FFFFFFF, 0xFFFFFFFF, 0xFFFFFFFB, 1000000, 0xFFFFFFFF, 1, 0, 0, 0, 0, 0, 0, 240, 400}},
        // Capability answers of 2 and -1 count as no; unfilled strings keep the record's text.
        {L"garbage_answers", L"garbage_answers", L"", L"", L"",
         {0x47524247, 2, 2, 3, 1, 1000, 1, 0, 0, 0, 0, 0, 0, 0, 0}},
        // clang-format on
    };
    TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(Narrow(c.plugin));
        Probed p = ProbeCopy(dir, c.plugin);
        ASSERT_TRUE(p.returned);
        EXPECT_EQ(p.count, 1u);
        EXPECT_EQ(GetModuleHandleW(p.path.c_str()), nullptr) << "unloaded at the end";
        const InventoryRecord& r = p.record;
        EXPECT_STREQ(r.FullName, c.fullName);
        EXPECT_STREQ(r.Vendor, c.vendor);
        EXPECT_STREQ(r.description, c.description);
        EXPECT_STREQ(r.dllVersion, c.dllVersion);
        EXPECT_EQ((std::vector<int64_t>{r.uniqueId, r.numInputs, r.numOutputs, r.numParams, r.numPrograms, r.vstVersion,
                                        r.isVst, r.isSynth, r.progsChunks, r.doublePrecision, r.wantEvents,
                                        r.generateEvents, r.registerAsTempoBasedEffect, r.cxEditor, r.cyEditor}),
                  c.numbers);
        EXPECT_EQ(r.maxUsedInputs, r.numInputs);
        EXPECT_EQ(r.hasVstEntryPoint + r.isX64 + r.numClasses + r.isInternal + r.isShell + r.factoryFlags, 3u);
        // The file's time and size are kept for plug-ins the host can use.
        WIN32_FILE_ATTRIBUTE_DATA file = {};
        GetFileAttributesExW(p.path.c_str(), GetFileExInfoStandard, &file);
        ModStats stats = GetModStats(r);
        EXPECT_EQ(stats.size, r.isVst ? file.nFileSizeLow : 0u);
        EXPECT_EQ(CompareFileTime(&stats.lastWrite, &file.ftLastWriteTime), r.isVst ? 0 : -1);
    }
}

TEST(Vst2Probe, ChannelStripsAndTheCompatibleVst3Class) {
    TempDir dir;
    // Channel strips are created through the private entry point, even beside a standard one.
    for (auto [plugin, name, entry] : {std::tuple{L"stripdeck_private_only", L"Strip EQ", 0u},
                                       std::tuple{L"stripdeck_with_vst_entry", L"Strip Gate", 1u},
                                       std::tuple{L"stripdeck_with_vst_entry_exclusive", L"Strip Limiter", 0u}}) {
        const InventoryRecord& r = ProbeCopy(dir, plugin).record;
        EXPECT_STREQ(r.FullName, name);
        // Real-time, so a VST as far as the record goes; never bridged.
        EXPECT_EQ((std::vector<uint32_t>{r.hasVstEntryPoint, r.isVst, r.isInternal, r.jBridgeLoader, r.moduleType}),
                  (std::vector<uint32_t>{entry, 1, 1, 0, 7}));
    }
    EXPECT_EQ(GuidText(ProbeCopy(dir, L"vst3_compatible").record.clsidVST3Compatible),
              L"{01234567-89AB-CDEF-0123-456789ABCDEF}");
}

// Each member is created with its id answered to audioMasterCurrentId; the
// last reports no name of its own, so the listed name stays.
TEST(Vst2Probe, ShellMembersGetRecordsOfTheirOwn) {
    TempDir dir;
    Probed p = ProbeCopy(dir, L"shell_three");
    ASSERT_EQ(p.count, 3u);
    EXPECT_EQ(p.record.isShell + p.record.isShellRoot + p.record.factoryFlags + p.record.numClasses, 6u);
    EXPECT_EQ(GuidText(p.record.clsidPlug), L"{00000000-0000-0000-0000-000000000000}");
    const std::tuple<int32_t, const wchar_t*, uint32_t> members[] = {
        {1001, L"Alpha from 1001", 4}, {1002, L"Beta from 1002", 30}, {-1003, L"Trio\\Gamma", 0}};
    ASSERT_EQ(p.subRecords.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        const InventoryRecord& sub = p.subRecords[i];
        EXPECT_EQ(sub.uniqueId, std::get<0>(members[i]));
        EXPECT_STREQ(sub.FullName, std::get<1>(members[i]));
        EXPECT_EQ(sub.numParams, std::get<2>(members[i]));
        EXPECT_EQ(sub.isShell + sub.factoryFlags + sub.numClasses + sub.isVst, 4u) << i;
        EXPECT_EQ(sub.isShellRoot + sub.cyEditor, 0u) << "no generic editor inside a shell";
    }
    EXPECT_EQ(GuidText(p.subRecords[0].clsidPlugMD5), L"{DD9B983B-AEA0-1601-143C-A5165B2D9367}");
    Probed empty = ProbeCopy(dir, L"shell_empty");
    EXPECT_EQ(empty.count + empty.record.numClasses, 0u);
    EXPECT_EQ(empty.record.isShellRoot, 1u);
}

// The recorder asks every question while it is created (and its id again
// while it is opened) and writes "<question> <answer>" lines beside itself.
TEST(Vst2HostCallback, AnswersAsThePluginSeesThem) {
    TempDir dir;
    Probed p = ProbeCopy(dir, L"host_answer_recorder");
    ASSERT_TRUE(p.returned);
    EXPECT_STREQ(g_failure.function, L"EffectMaster") << "the callback names itself";
    EXPECT_EQ(p.record.wantEvents, 1u) << "only audioMasterWantMidi can have set it";
    std::map<std::string, std::string> answers;
    std::ifstream file(Narrow(p.path + L".answers").c_str());
    for (std::string key, answer; file >> key && std::getline(file >> std::ws, answer);) answers[key] = answer;
    // The time info is a stopped transport at 120 bpm in 4/4, its flags 0x2700
    // (nanos, ppq, tempo and time signature valid), refilled on every request.
    // Everything else answers zero.
    std::map<std::string, std::string> want = {{"op33.text", "Tarnwell VST 4.5"}};
    std::istringstream given(
        "op1 2400 op8 1 op10 1200000 op11 1024 op16 44100 op17 512 op23 2 op34 4 op35.256 1 op32 1 op32.text Quenlar "
        "op33 1 canDo.sendVstTimeInfo 1 canDo.SENDVSTTIMEINFO 1 canDo.sendvsttimeinfo 1 canDo.shellCategory 1 "
        "time.sampleRate 44100 time.tempo 120 time.timeSigNumerator 4 time.timeSigDenominator 4 time.flags 9984 "
        "time.sameAddress 1 time.again.tempo 120 time.again.flags 9984 currentId.open 1380143684");
    for (std::string key, answer; given >> key >> answer;) want[key] = answer;
    for (const auto& [key, answer] : answers) EXPECT_EQ(answer, want.count(key) ? want[key] : "0") << key;
    for (const auto& [key, answer] : want) EXPECT_TRUE(answers.count(key)) << key;
}

}  // namespace
