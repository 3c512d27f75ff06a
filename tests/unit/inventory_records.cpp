// Records in the real registry: what a full write stores, what each kind of
// read gives back, and what a hostile or damaged key does to a read.
#include <gtest/gtest.h>
#include <objbase.h>

#include "TestSupport.h"
#include "core/ScanContext.h"
#include "core/Win32Owners.h"
#include "inventory/InventoryStore.h"

using namespace sievo_test;

namespace {
const DWORD kSix = 6;

class Records : public ::testing::Test {
protected:
    void SetUp() override {
        g_ctx.registryRoot = HKEY_CURRENT_USER;
        wcscpy(g_ctx.configKeyPath, key.Path().c_str());
        ASSERT_EQ(record.Create(HKEY_CURRENT_USER, key.Sub(L"Inventory\\C:/VST/Echo.dll").c_str(), KEY_ALL_ACCESS),
                  ERROR_SUCCESS);
    }

    std::vector<std::wstring> ValueNames() {
        std::vector<std::wstring> names;
        for (DWORD i = 0;; ++i) {
            wchar_t name[256];
            DWORD chars = 256;
            if (RegEnumValueW(record.Get(), i, name, &chars, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
                break;
            names.push_back(name);
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    DWORD Dword(const wchar_t* name) {
        DWORD v = 0xBAD, cb = 4;
        RegGetValueW(record.Get(), nullptr, name, RRF_RT_REG_DWORD, nullptr, &v, &cb);
        return v;
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
    r.uniqueId = 0x41424344;
    for (int i = 0; i < 12; ++i) r.modStats[i] = static_cast<uint8_t>(0xA0 + i);
    r.isVst = 1;
    r.isSynth = 1;
    r.wantEvents = 1;
    r.numInputs = 6;
    r.maxUsedInputs = 4;
    r.numOutputs = 8;
    r.numPrograms = 128;
    r.numParams = 57;
    r.progsChunks = 1;
    r.registerAsPlug = 1;
    r.registerAsSynth = 1;
    r.jBridgeLoader = 1;
    r.cxEditor = 640;
    r.cyEditor = 480;
    r.forceStereo = 1;
    r.nrpnPassThrough = 1;
    r.addVstPrefix = 0;
    r.delayCompensation = 1;
    r.registerAsTempoBasedEffect = 1;
    r.forceSuspendOnStop = 1;
    r.forceSuspendOnPlay = 1;
    r.seralizeDispatcher = 1;
    r.generateEvents = 1;
    r.isX64 = 1;
    r.isARA = 1;
    r.hasVstEntryPoint = 1;
    r.forceMono = 1;
    r.translateProgramChanges = 1;
    r.gantryServerId = 4;
    r.vstVersion = 2400;
    wcscpy(r.Vendor, L"Tarnwell Test Labs");
    wcscpy(r.description, L"Echo Chamber Pro");
    r.moduleType = 7;
    r.doublePrecision = 1;
    wcscpy(r.dllVersion, L"1.2.3.4");
    wcscpy(r.Subcategories, L"Fx|Delay");
    return r;
}

TEST_F(Records, FullWriteThenFullReadGivesTheRecordBack) {
    InventoryRecord written = Everything();
    WriteVstData(record.Get(), written, 1, 0);
    InventoryRecord read;
    ReadVstData(record.Get(), read, 0);
    read.isNew = written.isNew;
    EXPECT_TRUE(read.SameAs(written));
    EXPECT_EQ(read.gantryServerId, 4);
    EXPECT_EQ(Dword(L"gantryServerId"), 5u) << "stored as index + 1";
    EXPECT_EQ(Dword(L"touch"), 1u);
    EXPECT_EQ(Dword(L"addVstPrefix"), 0u) << "the inverse of noPrefix";
    std::wstring text;
    ASSERT_TRUE(key.GetString(L"clsidPlug", &text, L"Inventory\\C:/VST/Echo.dll"));
    EXPECT_EQ(text, L"{141AC902-4142-4344-4543-484F00000000}") << "a full write derives the ids again";
    ASSERT_TRUE(key.GetString(L"clsidPlugMD5", &text, L"Inventory\\C:/VST/Echo.dll"));
    EXPECT_EQ(text, L"{586944CE-EF00-0F12-C730-42BD915F9CF6}");
    BYTE stats[16];
    DWORD cb = sizeof stats, type = 0;
    ASSERT_EQ(RegQueryValueExW(record.Get(), L"modStats", nullptr, &type, stats, &cb), ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
    EXPECT_EQ(cb, 12u);
}

TEST_F(Records, UpdateWriteKeepsUserOptionsAndClassIds) {
    InventoryRecord original = Everything();
    WriteVstData(record.Get(), original, 1, 0);

    InventoryRecord rescanned;  // what a scan knows before reading the key
    wcscpy(rescanned.FullPath, L"C:\\VST\\Echo.dll");
    rescanned.isVst = 1;
    rescanned.numClasses = 1;
    WriteVstData(record.Get(), rescanned, 0, 1);

    InventoryRecord read;
    ReadVstData(record.Get(), read, 0);
    EXPECT_TRUE(IsEqualGUID(read.clsidPlug, original.clsidPlug));
    EXPECT_TRUE(IsEqualGUID(read.clsidPropsMD5, original.clsidPropsMD5));
    EXPECT_EQ(read.forceStereo, 1u);
    EXPECT_EQ(read.jBridgeLoader, 1u);
    EXPECT_EQ(read.gantryServerId, 4);
    EXPECT_EQ(read.maxUsedInputs, 4u);
    EXPECT_STREQ(read.FullName, L"Echo Chamber");
    EXPECT_EQ(read.addVstPrefix, 0u) << "only a full write rewrites the prefix flag";
    EXPECT_EQ(read.numClasses, 1u);
}

TEST_F(Records, ModuleThatIsNoPluginHoldsOnlyTheBookkeeping) {
    InventoryRecord r = Everything();
    r.isVst = r.isVst3 = r.isInternal = 0;
    WriteVstData(record.Get(), r, 1, 0);
    std::vector<std::wstring> expected = {L"FullPath", L"factoryFlags", L"isBad",    L"isShell",    L"isShellRoot",
                                          L"isVst",    L"isVst3",       L"modStats", L"numClasses", L"touch"};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(ValueNames(), expected);
}

TEST_F(Records, InternalModulesAreForcedToNativeEffects) {
    InventoryRecord r = Everything();
    r.isInternal = 1;
    r.hasVstEntryPoint = 0;
    r.registerAsSynth = 1;
    r.delayCompensation = 0;
    WriteVstData(record.Get(), r, 1, 0);
    EXPECT_EQ(Dword(L"registerAsPlug"), 1u);
    EXPECT_EQ(Dword(L"registerAsSynth"), 0u);
    EXPECT_EQ(Dword(L"delayCompensation"), 1u);
    EXPECT_EQ(Dword(L"jBridgeLoader"), 0u);
    EXPECT_EQ(Dword(L"isVst"), 0u) << "not offered as a plug-in without the standard entry point";

    r.hasVstEntryPoint = 1;
    WriteVstData(record.Get(), r, 1, 0);
    EXPECT_EQ(Dword(L"isVst"), 1u);
}

TEST_F(Records, BridgedSynthIsStoredWithoutDelayCompensation) {
    InventoryRecord r = Everything();
    r.isX64 = 0;
    r.isSynth = 1;
    WriteVstData(record.Get(), r, 1, 0);
    EXPECT_EQ(Dword(L"delayCompensation"), 0u);
    r.isSynth = 0;
    WriteVstData(record.Get(), r, 1, 0);
    EXPECT_EQ(Dword(L"delayCompensation"), 1u);
}

TEST_F(Records, MissingValuesTakeTheirSubstitutes) {
    RegSetValueExW(record.Get(), L"numInputs", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&kSix), 4);
    const DWORD zero = 0;
    RegSetValueExW(record.Get(), L"gantryServerId", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&zero), 4);
    InventoryRecord r;
    r.maxUsedInputs = 99;
    ReadVstData(record.Get(), r, 0);
    EXPECT_EQ(r.maxUsedInputs, 6u) << "a missing maxUsedInputs is the input count";
    EXPECT_EQ(r.hasVstEntryPoint, 1u) << "a non-internal module has the entry point unless told otherwise";
    EXPECT_EQ(r.gantryServerId, -1) << "stored 0 is the default server";

    RegDeleteValueW(record.Get(), L"gantryServerId");
    const DWORD one = 1;
    RegSetValueExW(record.Get(), L"isInternal", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), 4);
    InventoryRecord internal;
    ReadVstData(record.Get(), internal, 0);
    EXPECT_EQ(internal.hasVstEntryPoint, 0u);
    EXPECT_EQ(internal.gantryServerId, -1) << "a missing server id is the default server";
}

TEST_F(Records, NullCompatibleIdIsNeverWritten) {
    const wchar_t stored[] = L"{01234567-89AB-CDEF-0123-456789ABCDEF}";
    RegSetValueExW(record.Get(), L"clsidVST3Compatible", 0, REG_SZ, reinterpret_cast<const BYTE*>(stored),
                   sizeof stored);
    InventoryRecord r = Everything();
    r.clsidVST3Compatible = GUID{};
    WriteVstData(record.Get(), r, 1, 0);
    std::wstring text;
    ASSERT_TRUE(key.GetString(L"clsidVST3Compatible", &text, L"Inventory\\C:/VST/Echo.dll"));
    EXPECT_EQ(text, stored) << "an existing value is left as it is";

    RegDeleteValueW(record.Get(), L"clsidVST3Compatible");
    WriteVstData(record.Get(), r, 1, 0);
    EXPECT_FALSE(key.GetString(L"clsidVST3Compatible", &text, L"Inventory\\C:/VST/Echo.dll"));
}

TEST_F(Records, PartialReadTakesIdentityAndOptionsOnly) {
    InventoryRecord full = Everything();
    full.isShell = 1;
    full.factoryFlags = 0;
    WriteVstData(record.Get(), full, 1, 0);
    InventoryRecord r;
    ReadVstData(record.Get(), r, 1);
    EXPECT_TRUE(IsEqualGUID(r.clsidPlug, full.clsidPlug));
    EXPECT_STREQ(r.FullPath, full.FullPath);
    EXPECT_EQ(r.forceSuspendOnPlay, 1u);
    EXPECT_EQ(r.factoryFlags, 1u) << "a VST 2 shell is walked in every scan";
    EXPECT_STREQ(r.FullName, L"") << "names are not part of a partial read";
    EXPECT_EQ(r.numParams, 0u);
    EXPECT_TRUE(IsEqualGUID(r.clsidProps, GUID{}));
}

TEST_F(Records, DamagedValuesLeaveDefaultsAndNeverOverrun) {
    const BYTE three[3] = {1, 2, 3};
    RegSetValueExW(record.Get(), L"modStats", 0, REG_BINARY, three, 3);
    const wchar_t notDword[] = L"12";
    RegSetValueExW(record.Get(), L"numParams", 0, REG_SZ, reinterpret_cast<const BYTE*>(notDword), sizeof notDword);
    const wchar_t notGuid[] = L"{this is not a class id}";
    RegSetValueExW(record.Get(), L"clsidPlug", 0, REG_SZ, reinterpret_cast<const BYTE*>(notGuid), sizeof notGuid);
    std::wstring longName(2000, L'N');
    RegSetValueExW(record.Get(), L"FullName", 0, REG_SZ, reinterpret_cast<const BYTE*>(longName.c_str()),
                   static_cast<DWORD>((longName.size() + 1) * 2));
    std::wstring longVendor(5000, L'V');
    RegSetValueExW(record.Get(), L"Vendor", 0, REG_SZ, reinterpret_cast<const BYTE*>(longVendor.c_str()),
                   static_cast<DWORD>(longVendor.size() * 2));  // no terminator either

    InventoryRecord r;
    wcscpy(r.FullName, L"kept");
    r.numParams = 3;
    for (int i = 0; i < 12; ++i) r.modStats[i] = 0x55;
    ReadVstData(record.Get(), r, 0);
    EXPECT_STREQ(r.FullName, L"kept");
    EXPECT_EQ(r.Vendor[0], 0);
    EXPECT_EQ(r.modStats[0], 0x55) << "a 3-byte modStats is not taken";
    EXPECT_EQ(r.numParams, 3u) << "\"12\" is six bytes, not a 32-bit value";
}

TEST_F(Records, KeyNamesFitTheRegistryAndStayTheSame) {
    auto keyOf = [](const std::wstring& path, bool* shortened = nullptr) {
        wchar_t name[260];
        bool s = MakeInventoryKeyName(path.c_str(), 260, name);
        if (shortened) *shortened = s;
        return std::wstring(name);
    };
    bool shortened = true;
    EXPECT_EQ(keyOf(L"C:\\Plugins\\Echo.dll", &shortened), L"C:/Plugins/Echo.dll");
    EXPECT_FALSE(shortened);
    const std::wstring at255 = L"C:\\" + std::wstring(252, L'a');
    EXPECT_EQ(keyOf(at255, &shortened).size(), 255u);
    EXPECT_FALSE(shortened) << "a name that fits is the path itself";

    struct Case {
        std::wstring path;
        size_t length;
    };
    const std::wstring longer = L"C:\\" + std::wstring(253, L'a') + L"\\Echo.dll";
    for (const Case& c : {Case{L"C:\\" + std::wstring(253, L'a'), 256}, Case{longer, longer.size()},
                          Case{L"C:\\" + std::wstring(900, L'b'), 903}}) {
        ASSERT_EQ(c.path.size(), c.length);
        std::wstring key = keyOf(c.path, &shortened);
        EXPECT_TRUE(shortened);
        EXPECT_LE(key.size(), 255u);
        EXPECT_EQ(key.find(L'*'), std::wstring::npos) << "a star would make it a shell member";
        EXPECT_EQ(key.find(L'\\'), std::wstring::npos);
        EXPECT_EQ(key.substr(0, 10), L"C:/" + c.path.substr(3, 7));
        EXPECT_EQ(keyOf(c.path), key) << "the same from scan to scan";
        std::wstring upper = c.path;
        CharUpperBuffW(upper.data(), static_cast<DWORD>(upper.size()));
        EXPECT_EQ(keyOf(upper).substr(key.size() - 16), key.substr(key.size() - 16)) << "letter case aside";
    }
    // Paths alike up to their last characters still get keys of their own.
    EXPECT_NE(keyOf(longer), keyOf(longer.substr(0, longer.size() - 8) + L"Eche.dll"));

    std::wstring member = MakeSubRecordKeyName(keyOf(longer), 1001, std::wstring(100, L'n').c_str());
    EXPECT_LE(member.size(), 255u);
    EXPECT_EQ(member.substr(0, keyOf(longer).size() + 6), keyOf(longer) + L"*1001 ");
}

TEST_F(Records, LoadInventoryReadsEveryRecordFully) {
    InventoryRecord a = Everything();
    WriteVstData(record.Get(), a, 1, 0);
    RegKey second;
    ASSERT_EQ(second.Create(HKEY_CURRENT_USER, key.Sub(L"Inventory\\C:/VST/Other.dll").c_str(), KEY_ALL_ACCESS),
              ERROR_SUCCESS);
    InventoryRecord b = Everything();
    wcscpy(b.FullName, L"Other");
    WriteVstData(second.Get(), b, 1, 0);
    std::vector<InventoryRecord> list;
    LoadInventory(list);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_STREQ(list[0].FullName, L"Echo Chamber");
    EXPECT_STREQ(list[1].FullName, L"Other");
    EXPECT_EQ(list[1].numParams, 57u);
}

}  // namespace
