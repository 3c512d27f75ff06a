// The VST 3 probe in this process on real test modules: record fields a
// scan's checks do not reach, what it calls on the plug-in and in which order,
// how it leaves a module that fails, and the persist-compatibility lists.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "core/Win32Owners.h"
#include "diag/FailurePoint.h"
#include "inventory/CompatData.h"
#include "vst3/Vst3Probe.h"

namespace {

using namespace sievo_test;

const bool kLog = KeepScanLogOpen();

// A private copy of one VST 3 test module in a scratch folder (so its trace
// file and file times are the test's own), and the trace the module wrote.
struct ModuleCopy {
    // name without suffix
    explicit ModuleCopy(const std::wstring& name)
        : path(dir.Copy(PluginDir() + L"\\" + name + L".vst3", name + L".vst3")) {}

    // A record as the analysis loop hands a new module to the probe.
    InventoryRecord Record() const {
        InventoryRecord r;
        lstrcpynW(r.FullPath, path.c_str(), 260);
        return r;
    }

    std::vector<std::string> Trace() const {
        std::vector<std::string> lines;
        std::ifstream in(Narrow(path + L".trace"));
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }

    TempDir dir;
    std::wstring path;
};

struct ProbeOutcome {
    int result = -1;
    bool threw = false;
    int thrown = -1;
};

ProbeOutcome RunProbe(InventoryRecord& record, std::vector<InventoryRecord>* shell = nullptr) {
    ProbeOutcome out;
    try {
        out.result = LoadVst3Plugin(record, shell, nullptr);
    } catch (int code) {
        out.threw = true;
        out.thrown = code;
    }
    return out;
}

int CountLines(const std::vector<std::string>& lines, const std::string& prefix) {
    return static_cast<int>(
        std::count_if(lines.begin(), lines.end(), [&](const std::string& l) { return l.rfind(prefix, 0) == 0; }));
}

// The lifecycle lines of the trace without the class name and the
// factory's class-info lines, joined by "; ".
std::string Lifecycle(const ModuleCopy& module, const std::string& name) {
    std::string out;
    for (std::string line : module.Trace()) {
        if (line.rfind("getClassInfo", 0) == 0) continue;
        if (line.size() > name.size() && line.compare(line.size() - name.size(), name.size(), name) == 0)
            line.resize(line.size() - name.size() - 1);
        out += (out.empty() ? "" : "; ") + line;
    }
    return out;
}

// The controller reference is released too, or a single component would
// never be destroyed; the factory twice, its IPluginFactory2 view too.
TEST(Vst3ProbeSingle, ModulesAreTornDownInOrder) {
    const std::tuple<const wchar_t*, const char*, const char*> modules[] = {
        {L"separate_controller", "Separate Controller Delay",
         "createInstance component; initialize component; createInstance controller; initialize controller; "
         "connect component; connect controller; disconnect component; disconnect controller; "
         "terminate controller; destroy controller; terminate component; destroy component; "
         "release factory; release factory"},
        {L"single_component", "Single Component Gain",
         "createInstance component; initialize component; terminate component; destroy component; "
         "release factory; release factory"}};
    for (const auto& [name, className, lifecycle] : modules) {
        ModuleCopy module(name);
        InventoryRecord r = module.Record();
        r.isARA = 1;  // must be reset: the class does not answer ARA
        ASSERT_EQ(RunProbe(r).result, 1);
        EXPECT_EQ(Lifecycle(module, className), lifecycle);
        EXPECT_EQ(GetModuleHandleW(module.path.c_str()), nullptr);
        EXPECT_EQ(r.isARA, 0u);
    }
}

TEST(Vst3ProbeSingle, EachCapabilityShowsInTheRecord) {
    // One row per module that shows one capability; the other columns show what
    // a plain effect reports, so a field leaking from one class to another fails.
    const std::tuple<const wchar_t*, const wchar_t*, std::vector<int64_t>> modules[] = {
        // clang-format off
        //                                                    synth wantEv genEv in out programs double ARA
        {L"instrument_with_events", L"Instrument|Synth",    {1,    1,     1,    0, 2,  0,       0,     0}},
        {L"sidechain_buses",        L"Fx|Dynamics",         {0,    0,     0,    4, 2,  0,       0,     0}},
        {L"root_unit_programs",     L"Fx",                  {0,    0,     0,    0, 0,  12,      0,     0}},
        {L"double_precision",       L"Fx",                  {0,    0,     0,    0, 0,  0,       1,     0}},
        {L"ara_entry_point",        L"Fx",                  {0,    0,     0,    0, 0,  0,       0,     1}},
        // clang-format on
    };
    for (const auto& [name, subcategories, numbers] : modules) {
        SCOPED_TRACE(Narrow(name));
        ModuleCopy module(name);
        InventoryRecord r = module.Record();
        ASSERT_EQ(RunProbe(r).result, 1);
        EXPECT_EQ((std::vector<int64_t>{r.isSynth, r.wantEvents, r.generateEvents, r.numInputs, r.numOutputs,
                                        r.numPrograms, r.doublePrecision, r.isARA}),
                  numbers);
        EXPECT_EQ(r.maxUsedInputs, r.numInputs);
        EXPECT_STREQ(r.Subcategories, subcategories);
        // An instrument is switched to advanced I/O mode before it is initialised.
        EXPECT_EQ(CountLines(module.Trace(), "setIoMode 1 "), r.isSynth ? 1 : 0);
    }
}

TEST(Vst3ProbeShell, WhichClassesBecomeRecords) {
    struct Case {
        const wchar_t* module;
        uint32_t storedClasses;  // left from an earlier scan
        int result;
        uint32_t numClasses, isVst3;
        int created;               // createInstance calls
        const wchar_t* firstName;  // of the first class record
        int32_t firstId;           // the class index, not the count of audio classes
    };
    const Case cases[] = {
        {L"separate_controller", 1, 1, 1, 1, 2, L"Separate Controller Delay", 0},  // a stored count makes a shell
        {L"three_classes_one_audio", 0, 1, 3, 1, 2, L"Middle Audio Class", 1},
        {L"create_instance_fails", 0, 1, 2, 1, -1, L"Can Create", 1},
        {L"no_audio_classes", 0, 0, 2, 0, 0, nullptr, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.module));
        ModuleCopy module(c.module);
        InventoryRecord r = module.Record();
        r.numClasses = c.storedClasses;
        std::vector<InventoryRecord> shell;
        auto out = RunProbe(r, &shell);
        ASSERT_FALSE(out.threw);
        EXPECT_EQ(out.result, c.result);
        EXPECT_EQ(r.numClasses, c.numClasses);
        EXPECT_EQ(r.isVst3, c.isVst3);
        EXPECT_EQ(r.hasVstEntryPoint, 1u);
        if (c.created >= 0) {
            EXPECT_EQ(CountLines(module.Trace(), "createInstance "), c.created);
        }
        ASSERT_EQ(shell.size(), c.firstName ? 1u : 0u);
        if (!c.firstName) continue;
        EXPECT_EQ(r.isShellRoot, 1u);
        EXPECT_STREQ(shell[0].FullName, c.firstName);
        EXPECT_EQ(shell[0].uniqueId, c.firstId);
        EXPECT_EQ(shell[0].isShellRoot, 0u);
    }
}

// An unchanged discardable factory is opened but its classes are not walked
// again; a later write time alone makes them walked again.
TEST(Vst3ProbeShell, AnUnchangedDiscardableFactoryIsNotWalkedAgain) {
    ModuleCopy module(L"discardable_classes");
    InventoryRecord r = module.Record();
    std::vector<InventoryRecord> shell;
    ASSERT_EQ(RunProbe(r, &shell).result, 2);
    EXPECT_EQ(r.factoryFlags, 17u);
    EXPECT_EQ(RunProbe(r, &shell).result, 0);
    EXPECT_EQ(CountLines(module.Trace(), "getClassInfo"), 2) << "no class examined the second time";
    ASSERT_TRUE(MakeNewer(module.path));
    EXPECT_EQ(RunProbe(r, &shell).result, 2);
}

// ---- modules that fail ----

TEST(Vst3ProbeFailures, ThrowZeroLogTheCodeAndLeaveTheModuleAlone) {
    // The step label left for the report, the code in the log line (none: an
    // exception), hasVstEntryPoint and isVst3 afterwards, and the module's last
    // trace line: nothing was called after it.
    const std::tuple<const wchar_t*, const wchar_t*, const wchar_t*, uint32_t, const char*> modules[] = {
        {L"no_factory_export", L"Get Proc Address", L"8000ffff", 0, "InitDll"},
        {L"init_dll_false", L"Call initProc", L"8000ffff", 0, "InitDll"},
        {L"null_factory", L"GetPluginFactory", L"8000ffff", 1, "GetPluginFactory"},
        {L"null_component", L"createInstance IComponent", L"8000ffff", 1, "createInstance null"},
        {L"null_audio_processor", L"queryInterface IAudioProcessor", L"8000ffff", 1, "IAudioProcessor null"},
        {L"zero_controller_id", L"component->getControllerClassId", L"8000ffff", 1, "getControllerClassId zero"},
        {L"initialize_fails", L"component->initialize", L"80004005", 1, "initialize component Broken Initialize"},
        {L"crash_in_get_bus_info", L"getBusCount", nullptr, 1, "getBusInfo crash"}};
    for (const auto& [name, step, code, entryPoint, lastTrace] : modules) {
        SCOPED_TRACE(Narrow(name));
        ModuleCopy module(name);
        InventoryRecord r = module.Record();
        std::vector<InventoryRecord> shell;
        LogWatch log;
        auto out = RunProbe(r, &shell);
        ASSERT_TRUE(out.threw);
        EXPECT_EQ(out.thrown, 0);
        std::wstring line =
            code ? std::wstring(L"SIEVO: Failure (") + code + L") in function" : L"SIEVO: Exception in function";
        EXPECT_TRUE(Contains(log.NewLines(), line + L" [Load VST3 Plugin], failure point[Load VST3 Plugin]"));
        EXPECT_STREQ(g_failure.step, step);
        EXPECT_EQ(r.hasVstEntryPoint, entryPoint);
        EXPECT_EQ(r.isVst3, entryPoint);
        EXPECT_TRUE(shell.empty());
        // Not freed, not told to exit, nothing released or terminated.
        EXPECT_NE(GetModuleHandleW(module.path.c_str()), nullptr);
        std::vector<std::string> trace = module.Trace();
        EXPECT_EQ(trace.empty() ? "" : trace.back(), lastTrace);
        EXPECT_EQ(CountLines(trace, "ExitDll") + CountLines(trace, "release factory") + CountLines(trace, "terminate"),
                  0);
    }
}

// ---- persist-compatibility lists ----

// One line per entry, in UID order: "<uid> <type> '<name>' <policy>" and the
// map's "<id>:<value>" pairs.
std::string Describe(const CompatList& list) {
    std::vector<std::string> lines;
    for (const CompatEntry& e : list) {
        lines.push_back(Narrow(e.pluginUID) + " " + std::to_string(e.pluginType) + " '" + Narrow(e.pluginName) + "' " +
                        std::to_string(e.replacementPolicy));
        for (const auto& [id, value] : e.paramMap)
            lines.back() += " " + std::to_string(id) + ":" + std::to_string(value);
    }
    std::sort(lines.begin(), lines.end());
    std::string out;
    for (const std::string& line : lines) out += line + "\n";
    return out;
}

TEST(Vst3Compat, TheScanKeepsOnlyCompleteEntriesOfTypeTwoAndThree) {
    ModuleCopy module(L"persist_compat_lists");
    InventoryRecord r = module.Record();
    LogWatch log;
    ASSERT_EQ(RunProbe(r).result, 1);
    const std::string longUid = "LONG-UID-0123456789-0123456789-0123456789-0123456789-0123456789";
    const std::string longName =
        "A very long plug-in name that goes on and on well past the one hundred and twenty seven characters "
        "that the entry keeps, so the";
    // A preset -1 stays when the plug-in answers without writing; a refused mapping is not kept.
    const std::string forward =
        "FWD-FULL 3 'Old Delay' 2 1:11 5:55\nFWD-NONAME 2 '' 4 5:-1\nFWD-NOPOLICY 3 'No Policy' 1 5:56\n";
    EXPECT_EQ(Describe(r.forwardCompatible), forward + longUid + " 3 '" + longName + "' 6\n");
    EXPECT_EQ(Describe(r.backwardsCompatible), "BACK-ONE 2 'Newer Delay' 0\n");
    // One message per missing attribute, none for the type-1 entry.
    std::vector<std::wstring> compat;
    for (const std::wstring& l : log.NewLines())
        if (l.rfind(L"Failure to get compatible plugin ", 0) == 0) compat.push_back(l.substr(33));
    std::sort(compat.begin(), compat.end());
    EXPECT_EQ(compat, (std::vector<std::wstring>{L"UID", L"name", L"replacement policy", L"type"}));
    // Only automatable, writable, non-program parameters are offered; the lists are borrowed, never released.
    std::vector<std::string> asked;
    for (const std::string& line : module.Trace()) {
        if (line.rfind("mapping forward 0 ", 0) == 0) asked.push_back(line.substr(18));
        EXPECT_EQ(line.find(" list"), std::string::npos) << line;
    }
    EXPECT_EQ(asked, (std::vector<std::string>{"1", "5"}));

    // Stored as other tools read them (the map as id and value pairs), an empty list keeps no subkey.
    TestKey key;
    RegKey record;
    ASSERT_EQ(record.Create(HKEY_CURRENT_USER, key.Path().c_str(), KEY_ALL_ACCESS), 0);
    WriteVSTPersistCompatData(record.Get(), L"ForwardCompatible", r.forwardCompatible);
    WriteVSTPersistCompatData(record.Get(), L"BackwardsCompatible", {});
    CompatList read(1);
    ReadVSTPersistCompatData(record.Get(), L"ForwardCompatible", read);
    // 127 characters do not fit the 254 bytes read back.
    EXPECT_EQ(Describe(read), forward + longUid + " 3 '' 6\n");
    const std::vector<BYTE> map = {REG_BINARY, 0, 0, 0, 1, 0, 0, 0, 11, 0, 0, 0, 5, 0, 0, 0, 55, 0, 0, 0};
    EXPECT_EQ(key.Values(L"ForwardCompatible\\FWD-FULL")[L"paramMap"], map);
    EXPECT_FALSE(key.Exists(L"BackwardsCompatible"));
    ReadVSTPersistCompatData(record.Get(), L"BackwardsCompatible", read);
    EXPECT_TRUE(read.empty()) << "no subkey: emptied";
}

}  // namespace
