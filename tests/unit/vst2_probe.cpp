// The VST 2 probe on the project's well-behaved and hostile test plug-ins,
// each loaded in this process from a copy: every record field is checked
// against what the plug-in's source reports.
#include <gtest/gtest.h>

#include <string>

#include "vst2_probe_support.h"

namespace {

using sievo_test::TempDir;
using vst2_test::GuidText;
using vst2_test::ProbeCopy;
using vst2_test::Probed;

struct Expected {
    const wchar_t* plugin;
    const wchar_t* fullName;
    const wchar_t* vendor;
    const wchar_t* description;
    int32_t uniqueId;
    uint32_t numInputs, numOutputs, numParams, numPrograms, vstVersion;
    uint32_t isVst, isSynth, progsChunks, doublePrecision;
    uint32_t wantEvents, generateEvents, tempoBased;
    uint32_t cxEditor, cyEditor;
    const wchar_t* dllVersion;
};

// clang-format off
const Expected kWellBehaved[] = {
    {L"effect_with_editor", L"Echo Chamber", L"Tarnwell Test Labs", L"Echo Chamber Pro", 0x45434831, 2, 2, 12, 16,
     1203, 1, 0, 1, 0, 0, 0, 1, 0, 0, L"1.2.3.4"},
    {L"synth_wants_midi", L"Pluck Synth", L"Tarnwell Test Labs", L"Pluck", 0x504C4B31, 0, 2, 30, 64, 1000, 1, 1, 0,
     0, 1, 1, 0, 0, 0, L""},
    {L"no_editor_7_params", L"Seven Knobs", L"Caf\u00e9 Audio", L"Seven", 0x53564E37, 1, 1, 7, 3, 7, 1, 0, 0, 1, 0,
     0, 0, 240, 140, L""},
    // Loaded directly, so the " (0)" the bridge would add stays.
    {L"no_editor_50_params", L"Fifty Faders", L"Tarnwell Test Labs", L"Fifty (0)", 0x46494654, 4, 6, 50, 0, 2400, 1,
     0, 0, 0, 1, 1, 0, 240, 400, L""},
    {L"offline_norealtime", L"Offline Renderer", L"Tarnwell Test Labs", L"Renderer", 0x4F46464C, 2, 2, 0, 1, 1000, 0,
     0, 0, 0, 0, 0, 1, 0, 0, L""},
    {L"entry_main_only", L"Old Main", L"Tarnwell Test Labs", L"Old Main", 0x4D41494E, 2, 2, 0, 1, 1000, 1, 0, 0, 0, 0,
     0, 0, 0, 0, L""},
    // "main" is looked up before "Main".
    {L"entry_main_and_capital_main", L"Created by main", L"Tarnwell Test Labs", L"", 0x6D61696E, 2, 2, 0, 1, 1000, 1,
     0, 0, 0, 0, 0, 0, 0, 0, L""},
    {L"version_high_numbers", L"Versioned", L"Tarnwell Test Labs", L"", 0x56455253, 2, 2, 0, 1, 1000, 1, 0, 0, 0, 0,
     0, 0, 0, 0, L"65535.0.10.65000"},
    // Stored as they come; the generic editor is capped at twenty rows.
    {L"absurd_counts", L"Absurd Counts", L"Tarnwell Test Labs", L"", -123456789, 0x7FFFFFFF, 0xFFFFFFFF, 0xFFFFFFFB,
     1000000, 0xFFFFFFFF, 1, 0, 0, 0, 0, 0, 0, 240, 400, L""},
    // Capability answers of 2 and -1 count as no; unfilled strings keep the record's text.
    {L"garbage_answers", L"garbage_answers", L"", L"", 0x47524247, 2, 2, 3, 1, 1000, 1, 0, 0, 0, 0, 0, 0, 0, 0, L""},
};
// clang-format on

ModStats FileStats(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data);
    return ModStats{data.ftLastWriteTime, data.nFileSizeLow};
}

TEST(Vst2Probe, WellBehavedPluginsFillTheirRecords) {
    TempDir dir;
    for (const Expected& e : kWellBehaved) {
        SCOPED_TRACE(sievo_test::Narrow(e.plugin));
        Probed p = ProbeCopy(dir, e.plugin);
        ASSERT_TRUE(p.returned);
        EXPECT_EQ(p.count, 1u);
        EXPECT_TRUE(p.subRecords.empty());
        const InventoryRecord& r = p.record;
        EXPECT_STREQ(r.FullName, e.fullName);
        EXPECT_STREQ(r.Vendor, e.vendor);
        EXPECT_STREQ(r.description, e.description);
        EXPECT_EQ(r.uniqueId, e.uniqueId);
        EXPECT_EQ(r.numInputs, e.numInputs);
        EXPECT_EQ(r.maxUsedInputs, e.numInputs);
        EXPECT_EQ(r.numOutputs, e.numOutputs);
        EXPECT_EQ(r.numParams, e.numParams);
        EXPECT_EQ(r.numPrograms, e.numPrograms);
        EXPECT_EQ(r.vstVersion, e.vstVersion);
        EXPECT_EQ(r.isVst, e.isVst);
        EXPECT_EQ(r.isSynth, e.isSynth);
        EXPECT_EQ(r.progsChunks, e.progsChunks);
        EXPECT_EQ(r.doublePrecision, e.doublePrecision);
        EXPECT_EQ(r.wantEvents, e.wantEvents);
        EXPECT_EQ(r.generateEvents, e.generateEvents);
        EXPECT_EQ(r.registerAsTempoBasedEffect, e.tempoBased);
        EXPECT_EQ(r.cxEditor, e.cxEditor);
        EXPECT_EQ(r.cyEditor, e.cyEditor);
        EXPECT_STREQ(r.dllVersion, e.dllVersion);
        // Common to every ordinary plug-in loaded directly.
        EXPECT_EQ(r.hasVstEntryPoint, 1u);
        EXPECT_EQ(r.isInternal, 0u);
        EXPECT_EQ(r.isX64, 1u);
        EXPECT_EQ(r.isShell, 0u);
        EXPECT_EQ(r.isShellRoot, 0u);
        EXPECT_EQ(r.factoryFlags, 0u);
        EXPECT_EQ(r.numClasses, 1u);
        EXPECT_EQ(GuidText(r.clsidVST3Compatible), L"{00000000-0000-0000-0000-000000000000}");
        // The module's time and size are kept for plug-ins the host can use;
        // an offline-only one is no VST for the module-changed test.
        ModStats stats = GetModStats(r), file = FileStats(p.path);
        if (e.isVst) {
            EXPECT_EQ(stats.size, file.size);
            EXPECT_EQ(CompareFileTime(&stats.lastWrite, &file.lastWrite), 0);
        } else {
            EXPECT_EQ(stats.size, 0u);
        }
        // Unloaded at the end of the probe.
        EXPECT_EQ(GetModuleHandleW(p.path.c_str()), nullptr);
    }
}

TEST(Vst2Probe, KeepsWhatTheRecordHadWhereThePluginIsSilent) {
    TempDir dir;
    std::wstring path = dir.Copy(sievo_test::PluginPath(L"garbage_answers"), L"garbage_answers.dll");
    InventoryRecord r = vst2_test::NewRecord(path);
    wcscpy(r.Vendor, L"Known Vendor");
    wcscpy(r.description, L"Known Product");
    r.progsChunks = 1;  // only ever set, never cleared
    ASSERT_TRUE(RunGuarded([&] { LoadVst2Plugin(r, nullptr, nullptr); }));
    EXPECT_STREQ(r.FullName, L"garbage_answers");
    EXPECT_STREQ(r.Vendor, L"Known Vendor");
    EXPECT_STREQ(r.description, L"Known Product");
    EXPECT_EQ(r.progsChunks, 1u);
}

TEST(Vst2Probe, UnterminatedStringsAreCutToFit) {
    TempDir dir;
    Probed p = ProbeCopy(dir, L"unterminated_long_strings");
    ASSERT_TRUE(p.returned);
    std::wstring pattern;
    for (int i = 0; i < 1024; ++i) pattern += static_cast<wchar_t>(L'a' + i % 26);
    EXPECT_EQ(std::wstring(p.record.FullName), pattern.substr(0, 259));
    EXPECT_EQ(std::wstring(p.record.Vendor), pattern.substr(0, 1023));
    EXPECT_EQ(std::wstring(p.record.description), pattern.substr(0, 1023));
    EXPECT_EQ(p.record.uniqueId, 0x4C4F4E47);  // the fields behind the texts are intact
}

struct OfflineCase {
    const wchar_t* plugin;
    const wchar_t* fileName;
    uint32_t isVst;
};

TEST(Vst2Probe, OfflineOnlyDecision) {
    const OfflineCase cases[] = {
        {L"offline_norealtime", L"offline_norealtime.dll", 0},
        // A VSampler is never asked "noRealTime", whatever its letter case...
        {L"vsampler_says_norealtime", L"VSampler Live.dll", 1},
        {L"vsampler_says_norealtime", L"vSAMPLERlive.dll", 1},
        // ...any other plug-in is.
        {L"vsampler_says_norealtime", L"Sampler Live.dll", 0},
        {L"vsampler_says_norealtime", L"VSample.dll", 0},
        // Category 9 makes a plug-in offline-only under any name.
        {L"vsampler_category9", L"VSampler Offline.dll", 0},
        {L"vsampler_category9", L"Renderer.dll", 0},
    };
    TempDir dir;
    for (const OfflineCase& c : cases) {
        Probed p = ProbeCopy(dir, c.plugin, c.fileName);
        ASSERT_TRUE(p.returned) << c.fileName;
        EXPECT_EQ(p.record.isVst, c.isVst) << c.fileName;
        EXPECT_EQ(p.count, 1u) << c.fileName;
    }
}

TEST(Vst2Probe, CompatibleVst3ClassIsRecorded) {
    TempDir dir;
    Probed p = ProbeCopy(dir, L"vst3_compatible");
    ASSERT_TRUE(p.returned);
    EXPECT_EQ(GuidText(p.record.clsidVST3Compatible), L"{01234567-89AB-CDEF-0123-456789ABCDEF}");
}

TEST(Vst2Probe, RecordCarriesItsClassIds) {
    // An 8.3-valid file name is its own short name, so the text ids are known.
    TempDir dir;
    Probed p = ProbeCopy(dir, L"effect_with_editor", L"ECHO.DLL");
    ASSERT_TRUE(p.returned);
    ASSERT_STREQ(p.record.DosName, L"ECHO");
    EXPECT_EQ(GuidText(p.record.clsidPlug), L"{141AC902-4543-4831-4543-484F00000000}");
    EXPECT_EQ(GuidText(p.record.clsidProps), L"{141AC903-4543-4831-4543-484F00000000}");
    EXPECT_EQ(GuidText(p.record.clsidPlugMD5), L"{B5E5251A-858C-6585-4D05-833BD7520CE1}");
    EXPECT_EQ(GuidText(p.record.clsidPropsMD5), L"{A54FDFE5-A76B-F8B2-869D-473E952B234B}");
}

struct StripCase {
    const wchar_t* plugin;
    const wchar_t* fullName;
    uint32_t hasVstEntryPoint;
};

TEST(Vst2Probe, ChannelStripModules) {
    const StripCase cases[] = {
        {L"stripdeck_private_only", L"Strip EQ", 0},
        {L"stripdeck_private_only_exclusive", L"Strip Comp", 0},
        // Created through the private entry point, although a standard one exists.
        {L"stripdeck_with_vst_entry", L"Strip Gate", 1},
        {L"stripdeck_with_vst_entry_exclusive", L"Strip Limiter", 0},
    };
    TempDir dir;
    for (const StripCase& c : cases) {
        SCOPED_TRACE(std::string(c.plugin, c.plugin + wcslen(c.plugin)));
        std::wstring path = dir.Copy(sievo_test::PluginPath(c.plugin), std::wstring(c.plugin) + L".dll");
        InventoryRecord r = vst2_test::NewRecord(path);
        r.jBridgeLoader = 1;
        DWORD count = 0;
        ASSERT_TRUE(RunGuarded([&] { count = LoadVst2Plugin(r, nullptr, nullptr); }));
        EXPECT_EQ(count, 1u);
        EXPECT_STREQ(r.FullName, c.fullName);
        EXPECT_EQ(r.hasVstEntryPoint, c.hasVstEntryPoint);
        EXPECT_EQ(r.isInternal, 1u);
        EXPECT_EQ(r.isVst, 1u);  // real-time, so a VST as far as the record goes
        EXPECT_EQ(r.jBridgeLoader, 0u);
        EXPECT_EQ(r.moduleType, 7u);
        EXPECT_STREQ(r.Vendor, L"Tarnwell");
    }
}

struct NoInstanceCase {
    const wchar_t* plugin;
    uint32_t hasVstEntryPoint;
};

TEST(Vst2Probe, NoInstanceMeansNothingInterrogated) {
    const NoInstanceCase cases[] = {
        {L"wrong_magic", 1}, {L"returns_null", 1}, {L"null_dispatcher", 1}, {L"not_a_plugin", 0}};
    TempDir dir;
    for (const NoInstanceCase& c : cases) {
        Probed p = ProbeCopy(dir, c.plugin);
        ASSERT_TRUE(p.returned) << c.plugin;
        EXPECT_EQ(p.count, 0u) << c.plugin;
        EXPECT_EQ(p.record.hasVstEntryPoint, c.hasVstEntryPoint) << c.plugin;
        EXPECT_EQ(p.record.isVst, c.hasVstEntryPoint) << c.plugin;
        EXPECT_EQ(p.record.numClasses, 0u) << c.plugin;
        EXPECT_STREQ(p.record.FullName, c.plugin);
        EXPECT_STREQ(p.record.Vendor, L"");
        EXPECT_EQ(GetModuleHandleW(p.path.c_str()), nullptr) << c.plugin;
    }
    // A file that cannot be loaded at all.
    InventoryRecord missing = vst2_test::NewRecord(dir.Path() + L"\\missing.dll");
    DWORD count = 1;
    ASSERT_TRUE(RunGuarded([&] { count = LoadVst2Plugin(missing, nullptr, nullptr); }));
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(missing.isVst, 0u);
}

}  // namespace
