// Records in the real registry: what a full or an update write stores, what
// each kind of read gives back and what a damaged key does to it; the mark
// and sweep over the Inventory key; the class ids of VST 2 plug-ins; and the
// bridge server count.
#include <gtest/gtest.h>

#include <objbase.h>

#include <algorithm>

#include "TestSupport.h"
#include "core/ScanContext.h"
#include "core/Win32Owners.h"
#include "diag/ScanLog.h"
#include "inventory/BridgeSettings.h"
#include "inventory/ClsidGen.h"
#include "inventory/InventoryStore.h"
#include "inventory/TouchLedger.h"
#include "inventory/TouchSweep.h"

using namespace sievo_test;

namespace {

class Inventory : public ::testing::Test {
protected:
    static void SetUpTestSuite() { CoInitialize(nullptr); }  // the logging component is a COM object
    void SetUp() override {
        g_ctx.registryRoot = HKEY_CURRENT_USER;
        wcscpy(g_ctx.configKeyPath, key.Path().c_str());
        ASSERT_EQ(record.Create(HKEY_CURRENT_USER, key.Sub(L"Inventory\\C:/VST/Echo.dll").c_str(), KEY_ALL_ACCESS),
                  ERROR_SUCCESS);
    }
    DWORD Stored(const wchar_t* name) {
        DWORD v = 0xBAD;
        return key.GetDword(name, &v, L"Inventory\\C:/VST/Echo.dll") ? v : 0xBAD;
    }
    void Set(const wchar_t* name, DWORD value) { key.SetDword(name, value, L"Inventory\\C:/VST/Echo.dll"); }
    // A record key with the values the sweep looks at; touch 2: none stored.
    void Record(const std::wstring& name, DWORD touch, DWORD isVst = 1, bool withClsid = true, DWORD isShellRoot = 0) {
        std::wstring sub = L"Inventory\\" + name;
        if (touch != 2) key.SetDword(L"touch", touch, sub.c_str());
        key.SetDword(L"isVst", isVst, sub.c_str());
        key.SetDword(L"isShellRoot", isShellRoot, sub.c_str());
        if (withClsid) key.SetText(L"clsidPlug", L"{141AC902-4142-4344-4543-484F00000000}", sub.c_str());
    }
    TestKey key;
    RegKey record;
};

// A record with every field away from its default, so a field that is not
// written or not read back shows up.
InventoryRecord Everything() {
    InventoryRecord r;
    CLSIDFromString(L"{141AC902-4142-4344-4543-484F00000000}", &r.clsidPlug);
    CLSIDFromString(L"{586944CE-EF00-0F12-C730-42BD915F9CF6}", &r.clsidPlugMD5);
    CLSIDFromString(L"{141AC903-4142-4344-4543-484F00000000}", &r.clsidProps);
    CLSIDFromString(L"{3F3745F4-CEAF-D582-637C-73059A1A06CC}", &r.clsidPropsMD5);
    CLSIDFromString(L"{01234567-89AB-CDEF-0123-456789ABCDEF}", &r.clsidVST3Compatible);
    wcscpy(r.FullName, L"Echo Chamber");
    wcscpy(r.FullPath, L"C:\\VST\\Echo.dll");
    wcscpy(r.PresetPath, L"C:\\Presets\\Echo");
    wcscpy(r.DosName, L"ECHO");
    wcscpy(r.Vendor, L"Tarnwell Test Labs");
    wcscpy(r.description, L"Echo Chamber Pro");
    wcscpy(r.dllVersion, L"1.2.3.4");
    wcscpy(r.Subcategories, L"Fx|Delay");
    r.uniqueId = 0x41424344;
    for (int i = 0; i < 12; ++i) r.modStats[i] = static_cast<uint8_t>(0xA0 + i);
    r.numInputs = 6, r.maxUsedInputs = 4, r.numOutputs = 8, r.numPrograms = 128, r.numParams = 57;
    r.cxEditor = 640, r.cyEditor = 480, r.gantryServerId = 4, r.vstVersion = 2400, r.moduleType = 7;
    r.addVstPrefix = 0;
    // clang-format off
    for (uint32_t* flag : {&r.isVst, &r.isSynth, &r.wantEvents, &r.progsChunks, &r.registerAsPlug, &r.registerAsSynth,
                           &r.jBridgeLoader, &r.forceStereo, &r.nrpnPassThrough, &r.delayCompensation,
                           &r.registerAsTempoBasedEffect, &r.forceSuspendOnStop, &r.forceSuspendOnPlay,
                           &r.seralizeDispatcher, &r.generateEvents, &r.isX64, &r.isARA, &r.hasVstEntryPoint,
                           &r.forceMono, &r.translateProgramChanges, &r.doublePrecision})
        *flag = 1;
    // clang-format on
    return r;
}

TEST_F(Inventory, AFullWriteReadsBackWholeAndAnUpdateKeepsTheUsersOptions) {
    InventoryRecord written = Everything();
    WriteVstData(record.Get(), written, 1, 0);
    InventoryRecord read;
    ReadVstData(record.Get(), read, 0);
    read.isNew = written.isNew;
    EXPECT_TRUE(read.SameAs(written));
    EXPECT_EQ(Stored(L"gantryServerId"), 5u) << "stored as index + 1";
    EXPECT_EQ(Stored(L"touch"), 1u);
    EXPECT_EQ(Stored(L"addVstPrefix"), 0u) << "the inverse of noPrefix";
    EXPECT_EQ(key.Values(L"Inventory\\C:/VST/Echo.dll")[L"modStats"].size(), 4u + 12u);

    InventoryRecord rescanned;  // what a scan knows before reading the key
    wcscpy(rescanned.FullPath, L"C:\\VST\\Echo.dll");
    rescanned.isVst = rescanned.numClasses = 1;
    WriteVstData(record.Get(), rescanned, 0, 1);
    read = InventoryRecord();
    ReadVstData(record.Get(), read, 0);
    EXPECT_TRUE(IsEqualGUID(read.clsidPropsMD5, written.clsidPropsMD5));
    EXPECT_EQ(read.forceStereo + read.jBridgeLoader, 2u);
    EXPECT_EQ(read.gantryServerId, 4);
    EXPECT_EQ(read.maxUsedInputs, 4u);
    EXPECT_STREQ(read.FullName, L"Echo Chamber");
    EXPECT_EQ(read.addVstPrefix, 0u) << "only a full write rewrites the prefix flag";
}

TEST_F(Inventory, WhatAWriteForcesForSomeKindsOfModule) {
    InventoryRecord r = Everything();
    r.isInternal = 1, r.hasVstEntryPoint = 0, r.delayCompensation = 0;
    WriteVstData(record.Get(), r, 1, 0);
    // Internal modules are native effects; without the standard entry point no plug-in.
    EXPECT_EQ((std::vector<DWORD>{Stored(L"registerAsPlug"), Stored(L"registerAsSynth"), Stored(L"delayCompensation"),
                                  Stored(L"jBridgeLoader"), Stored(L"isVst")}),
              (std::vector<DWORD>{1, 0, 1, 0, 0}));
    // A bridged instrument has no delay compensation.
    r = Everything();
    r.isX64 = 0;
    WriteVstData(record.Get(), r, 1, 0);
    EXPECT_EQ(Stored(L"delayCompensation"), 0u);
    r.isSynth = 0;
    WriteVstData(record.Get(), r, 1, 0);
    EXPECT_EQ(Stored(L"delayCompensation"), 1u);
    // A null compatible id is never written; an existing value is left as it is.
    r.clsidVST3Compatible = GUID{};
    WriteVstData(record.Get(), r, 1, 0);
    std::wstring text;
    EXPECT_TRUE(key.GetString(L"clsidVST3Compatible", &text, L"Inventory\\C:/VST/Echo.dll"));
    RegDeleteValueW(record.Get(), L"clsidVST3Compatible");
    WriteVstData(record.Get(), r, 1, 0);
    EXPECT_FALSE(key.GetString(L"clsidVST3Compatible", &text, L"Inventory\\C:/VST/Echo.dll"));
    // A module that is no plug-in holds only the bookkeeping.
    r.isVst = r.isVst3 = r.isInternal = 0;
    RegKey other;
    ASSERT_EQ(other.Create(HKEY_CURRENT_USER, key.Sub(L"Inventory\\C:/VST/Other.dll").c_str(), KEY_ALL_ACCESS), 0);
    WriteVstData(other.Get(), r, 1, 0);
    std::vector<std::wstring> names;
    for (const auto& value : key.Values(L"Inventory\\C:/VST/Other.dll")) names.push_back(value.first);
    EXPECT_EQ(names, (std::vector<std::wstring>{L"FullPath", L"factoryFlags", L"isBad", L"isShell", L"isShellRoot",
                                                L"isVst", L"isVst3", L"modStats", L"numClasses", L"touch"}));
}

TEST_F(Inventory, ReadsFillGapsAndSurviveDamagedValues) {
    Set(L"numInputs", 6);
    Set(L"gantryServerId", 0);
    InventoryRecord r;
    ReadVstData(record.Get(), r, 0);
    EXPECT_EQ(r.maxUsedInputs, 6u) << "a missing maxUsedInputs is the input count";
    EXPECT_EQ(r.hasVstEntryPoint, 1u) << "a non-internal module has the entry point unless told otherwise";
    EXPECT_EQ(r.gantryServerId, -1) << "stored 0 is the default server";
    RegDeleteValueW(record.Get(), L"gantryServerId");
    Set(L"isInternal", 1);
    InventoryRecord internal;
    ReadVstData(record.Get(), internal, 0);
    EXPECT_EQ(internal.hasVstEntryPoint, 0u);
    EXPECT_EQ(internal.gantryServerId, -1) << "a missing server id is the default server";

    // A partial read takes identity and options only; a VST 2 shell is walked in every scan.
    InventoryRecord full = Everything();
    full.isShell = 1, full.factoryFlags = 0;
    WriteVstData(record.Get(), full, 1, 0);
    InventoryRecord partial;
    ReadVstData(record.Get(), partial, 1);
    EXPECT_TRUE(IsEqualGUID(partial.clsidPlug, full.clsidPlug));
    EXPECT_EQ(partial.forceSuspendOnPlay, 1u);
    EXPECT_EQ(partial.factoryFlags, 1u);
    EXPECT_STREQ(partial.FullName, L"");
    EXPECT_EQ(partial.numParams, 0u);

    const BYTE three[3] = {1, 2, 3};
    RegSetValueExW(record.Get(), L"modStats", 0, REG_BINARY, three, 3);
    key.SetText(L"numParams", L"12", L"Inventory\\C:/VST/Echo.dll");
    key.SetText(L"clsidPlug", L"{this is not a class id}", L"Inventory\\C:/VST/Echo.dll");
    key.SetText(L"FullName", std::wstring(2000, L'N'), L"Inventory\\C:/VST/Echo.dll");
    std::wstring longVendor(5000, L'V');
    RegSetValueExW(record.Get(), L"Vendor", 0, REG_SZ, reinterpret_cast<const BYTE*>(longVendor.c_str()),
                   static_cast<DWORD>(longVendor.size() * 2));  // no terminator either
    InventoryRecord damaged;
    wcscpy(damaged.FullName, L"kept");
    damaged.numParams = 3;
    damaged.modStats[0] = 0x55;
    ReadVstData(record.Get(), damaged, 0);
    EXPECT_STREQ(damaged.FullName, L"kept");
    EXPECT_EQ(damaged.Vendor[0], 0);
    EXPECT_EQ(damaged.modStats[0], 0x55) << "a 3-byte modStats is not taken";
    EXPECT_EQ(damaged.numParams, 3u) << "\"12\" is six bytes, not a 32-bit value";
}

// Paths too long for a key name get a shortened one (how such records are
// kept, a scan through Sievo.exe shows); it must not change between scans
// nor be shared by paths alike up to their last characters.
TEST(InventoryKeyNames, AShortenedNameIsStableAndOwnedByOnePath) {
    auto keyOf = [](const std::wstring& path) {
        wchar_t name[260];
        EXPECT_TRUE(MakeInventoryKeyName(path.c_str(), 260, name));
        return std::wstring(name);
    };
    const std::wstring path = L"C:\\" + std::wstring(253, L'a') + L"\\Echo.dll", key = keyOf(path);
    EXPECT_LE(key.size(), 255u);
    EXPECT_EQ(key.find_first_of(L"*\\"), std::wstring::npos) << "a star would make it a shell member";
    EXPECT_EQ(keyOf(path), key);
    EXPECT_NE(keyOf(path.substr(0, path.size() - 8) + L"Eche.dll"), key);
    std::wstring member = MakeSubRecordKeyName(key, 1001, std::wstring(100, L'n').c_str());
    EXPECT_LE(member.size(), 255u);
    EXPECT_EQ(member.substr(0, key.size() + 6), key + L"*1001 ");
}

// ---- mark and sweep ----

TEST_F(Inventory, TheSweepTakesUntouchedRecordsAndShellsWithTheirMembers) {
    CloseLog();
    DeleteLogs();
    ASSERT_NE(OpenLog(), nullptr);
    RegDeleteTreeW(record.Get(), nullptr);
    record.Close();
    RegDeleteKeyW(HKEY_CURRENT_USER, key.Sub(L"Inventory\\C:/VST/Echo.dll").c_str());
    Record(L"C:/X/Shell.dll", 0, 1, false, 1);
    Record(L"C:/X/Shell.dll*1 One", 0);
    Record(L"c:/x/SHELL.DLL*3 Three", 1);  // letter case differs from the shell's; its own mark does not count
    Record(L"C:/X/Shell.dll2.dll", 1);     // shares the prefix, not a member
    Record(L"C:/X/Kept.dll", 1, 1, true, 1);
    Record(L"C:/X/Kept.dll*1 One", 0);
    Record(L"C:/X/Zero.vst3", 0);
    Record(L"C:/X/Missing.dll", 2);
    Record(L"C:/X/NotAPlugin.dll", 0, 0, true);  // goes uncounted, as does one without class id
    Record(L"C:/X/NoClassId.dll", 0, 1, false);
    // Only plug-ins with a class id are counted: the VST 3 module, the shell's two members and the one without mark.
    key.SetDword(L"isVst", 0, L"Inventory\\C:/X/Zero.vst3");
    key.SetDword(L"isVst3", 1, L"Inventory\\C:/X/Zero.vst3");
    key.SetDword(L"x", 0, L"Inventory\\C:/X/Zero.vst3\\ForwardCompatible\\UID1");
    EXPECT_EQ(DeleteUntouched(), 4);
    EXPECT_EQ(key.InventoryKeys(),
              (std::vector<std::wstring>{L"C:/X/Kept.dll", L"C:/X/Kept.dll*1 One", L"C:/X/Shell.dll2.dll"}));
    CloseLog();
    std::vector<std::wstring> log = ReadLogLines(MainLogPath());
    EXPECT_TRUE(Contains(log, L"SIEVO: Delete untouched - Scanning for plugins to remove..."));
    EXPECT_TRUE(Contains(log, L"SIEVO: Removed 4 unavailable plugin's from VST inventory"));
    // Nested keys go innermost first.
    int inner = IndexOf(log, L"SIEVO: Deleted registry key (UID1)");
    ASSERT_GE(inner, 0);
    EXPECT_LT(inner, IndexOf(log, L"SIEVO: Deleted registry key (ForwardCompatible)"));
    EXPECT_LT(IndexOf(log, L"SIEVO: Deleted registry key (ForwardCompatible)"),
              IndexOf(log, L"SIEVO: Deleted registry key (C:/X/Zero.vst3)"));
}

TEST_F(Inventory, MarksOfThisScanAndMembersRemovedByName) {
    Record(L"C:/X/A.dll", 1, 1, true, 1);
    Record(L"C:/X/A.dll*5 Five", 1);
    Record(L"C:/X/A.dll*6 Six", 1);
    Record(L"C:/X/A.dll2.dll", 1);
    Record(L"C:/X/B.dll*1 Other", 1);
    Record(L"C:/X/C.dll", 1);
    RegKey inventory;
    ASSERT_EQ(inventory.Open(HKEY_CURRENT_USER, key.Sub(L"Inventory").c_str(), KEY_ALL_ACCESS), ERROR_SUCCESS);
    EXPECT_EQ(DeleteShellChildren(inventory.Get(), L"c:/x/a.DLL"), 2);
    EXPECT_EQ(EliminateSubkey(inventory.Get(), L""), E_FAIL);
    EXPECT_EQ(EliminateSubkey(inventory.Get(), L"not there"), 0);
    // With this scan's own account, a mark left from an earlier scan does not count.
    StartTouchLedger();
    NoteTouch(L"C:/X/A.dll2.dll", 1);
    EXPECT_EQ(DeleteUntouched(), 1) << "C.dll; the shell root and the empty record go uncounted";
    EXPECT_EQ(key.InventoryKeys(), (std::vector<std::wstring>{L"C:/X/A.dll2.dll", L"C:/X/B.dll*1 Other"}));
    // Cleared marks make everything stale; a member goes only with its shell.
    ClearTouchFlags();
    EXPECT_EQ(DeleteUntouched(), 1);
    EXPECT_EQ(key.InventoryKeys(), std::vector<std::wstring>{L"C:/X/B.dll*1 Other"});
}

// ---- class ids ----

InventoryRecord ClsidRecord(int32_t uniqueId, const wchar_t* dosName, const wchar_t* fullPath) {
    InventoryRecord r;
    r.uniqueId = uniqueId;
    wcsncpy(r.DosName, dosName, 11);
    wcsncpy(r.FullPath, fullPath, 259);
    GenerateVSTClsid(&r);
    return r;
}

// The hashed digests were computed independently (Python's hashlib).
TEST(Clsid, TextFormFromIdAndShortNameHashedFormFromIdAndFileStem) {
    const struct {
        int32_t uniqueId;
        const wchar_t *dosName, *fullPath, *plug, *plugMd5, *propsMd5;
    } cases[] = {
        {0x41424344, L"ECHO", L"C:\\VST\\Echo.dll", L"{141AC902-4142-4344-4543-484F00000000}",
         L"{586944CE-EF00-0F12-C730-42BD915F9CF6}", L"{3F3745F4-CEAF-D582-637C-73059A1A06CC}"},
        // Folder and extension play no part in the hashed form; the text form takes eight code units.
        {0x41424344, L"ABCDEFGHIJK", L"D:/Other/Echo.vst", L"{141AC902-4142-4344-4142-434445464748}",
         L"{586944CE-EF00-0F12-C730-42BD915F9CF6}", nullptr},
        {-2, L"ECHO", L"C:\\VST\\Echo.dll", L"{141AC902-FFFF-FFFE-4543-484F00000000}",
         L"{B093646A-0D6D-F5A4-74B2-AA5E39DCF1DB}", L"{9F9E9199-0038-A719-F36C-BC6E9B6A428F}"},
        {0x41424344, L"b~1", L"C:\\VST\\Echo2.dll", L"{141AC902-4142-4344-627E-310000000000}",
         L"{35E9C26D-D55D-C0F5-A35F-AE51B3270340}", nullptr},
        {0x41424344, L"", L"C:\\VST\\My.Plugin.dll", L"{141AC902-4142-4344-0000-000000000000}",
         L"{4D2577BD-E809-CC9A-E084-551B63B1CE7C}", nullptr},  // only the last dot starts the extension
        {0, L"A", L"C:\\VST\\Echo.dll", L"{141AC902-0000-0000-4100-000000000000}",
         L"{180D022A-137C-AAD5-AF01-07266F534495}", nullptr},
        // A code unit above 0xFF makes no valid text id, yet the hashed ids are made.
        {0x41424344, L"E\x0416HO", L"C:\\VST\\Echo.dll", nullptr, L"{586944CE-EF00-0F12-C730-42BD915F9CF6}", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Narrow(c.fullPath));
        InventoryRecord r = ClsidRecord(c.uniqueId, c.dosName, c.fullPath);
        if (c.plug) {
            std::wstring props = c.plug;
            props[8] = L'3';
            EXPECT_EQ(GuidText(r.clsidPlug), c.plug);
            EXPECT_EQ(GuidText(r.clsidProps), props);
        } else {
            // Cutting the code unit to its low byte would have made a valid, wrong id.
            EXPECT_NE(GuidText(r.clsidPlug), L"{141AC902-4142-4344-4516-484F00000000}");
        }
        EXPECT_EQ(GuidText(r.clsidPlugMD5), c.plugMd5);
        if (c.propsMd5) {
            EXPECT_EQ(GuidText(r.clsidPropsMD5), c.propsMd5);
        }
    }
    InventoryRecord root;
    root.isShellRoot = 1;
    root.uniqueId = 5;
    GenerateVSTClsid(&root);
    EXPECT_TRUE(IsEqualGUID(root.clsidPlug, GUID{})) << "a shell root gets no ids";
    GenerateVSTClsid(nullptr);
    EXPECT_EQ(MakeMD5Clsid(kPluginClsidPrefix, 1, L"C:\\x.dll", nullptr), E_POINTER);
}

// ---- bridge servers ----

uint64_t g_memory = 0;

TEST(GantryServerCount, OnePerTwoGiBUpToThirtyTwoUnlessStored) {
    constexpr uint64_t kGiB = uint64_t{1} << 30;
    TestKey key;
    wcscpy(g_ctx.configKeyPath, key.Path().c_str());
    SetPhysicalMemorySource([] { return g_memory; });
    const struct {
        uint64_t memory;
        DWORD stored, count;  // stored 0xBAD: no value
    } cases[] = {{6 * kGiB, 0xBAD, 3}, {16 * kGiB + 1, 0xBAD, 9}, {1 * kGiB, 0xBAD, 1}, {100 * kGiB, 0xBAD, 32},
                 {100 * kGiB, 5, 5},   {6 * kGiB, 40, 32},        {6 * kGiB, 0, 3},     {6 * kGiB, 0xFFFFFFFF, 3}};
    for (const auto& c : cases) {
        g_memory = c.memory;
        if (c.stored != 0xBAD) key.SetDword(L"GantryServerCount", c.stored);
        EXPECT_EQ(GantryServerCount(), c.count) << c.memory / kGiB << " GiB, stored " << c.stored;
    }
    wcscpy(g_ctx.configKeyPath, (key.Path() + L"\\Missing").c_str());
    EXPECT_EQ(GantryServerCount(), 0u) << "no configuration key, no servers";
    SetPhysicalMemorySource(nullptr);
}

}  // namespace
