// Persist-compatibility lists: what the scan keeps of a plug-in's lists, and
// how the lists are stored under a record's registry key and read back.
#include <gtest/gtest.h>

#include <objbase.h>

#include <algorithm>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "core/ScanContext.h"
#include "core/Win32Owners.h"
#include "diag/ScanLog.h"
#include "inventory/CompatData.h"
#include "tests/plugins/vst3/ModuleCopy.h"

namespace {

using vst3_test::ModuleCopy;
using vst3_test::RunProbe;

class LogEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        CoInitialize(nullptr);
        g_ctx.logEnabled = 1;
        OpenLog();
    }
    void TearDown() override { CloseLog(); }
};
const auto* const kLog = ::testing::AddGlobalTestEnvironment(new LogEnvironment);

CompatEntry Entry(int32_t type, const wchar_t* uid, const wchar_t* name, int32_t policy,
                  std::map<int32_t, int32_t> map = {}) {
    CompatEntry e;
    e.pluginType = type;
    lstrcpynW(e.pluginUID, uid, 64);
    lstrcpynW(e.pluginName, name, 128);
    e.replacementPolicy = policy;
    e.paramMap = std::move(map);
    return e;
}

std::string Describe(const CompatList& list) {
    std::string s;
    for (const CompatEntry& e : list) {
        s += sievo_test::Narrow(e.pluginUID) + " type " + std::to_string(e.pluginType) + " '" +
             sievo_test::Narrow(e.pluginName) + "' policy " + std::to_string(e.replacementPolicy) + " map";
        for (const auto& [id, value] : e.paramMap) s += " " + std::to_string(id) + ":" + std::to_string(value);
        s += "\n";
    }
    return s;
}

// ---- at scan time ----

TEST(Vst3CompatScan, KeepsOnlyCompleteEntriesOfTypeTwoAndThree) {
    ModuleCopy module(L"persist_compat_lists");
    InventoryRecord r = module.Record();
    size_t logStart = sievo_test::ReadLogLines(g_ctx.logPath).size();

    auto out = RunProbe(r);

    ASSERT_FALSE(out.threw);
    ASSERT_EQ(out.result, 1);
    std::wstring longUid = L"LONG-UID-0123456789-0123456789-0123456789-0123456789-0123456789-0123456789";
    std::wstring longName =
        L"A very long plug-in name that goes on and on well past the one hundred and twenty seven characters "
        L"that the entry keeps, so the end of it must be cut away";
    CompatList forward = {
        Entry(3, L"FWD-FULL", L"Old Delay", 2, {{1, 11}, {5, 55}}),
        Entry(2, L"FWD-NONAME", L"", 4, {{5, -1}}),             // answered without writing: the preset -1 stays
        Entry(3, L"FWD-NOPOLICY", L"No Policy", 1, {{5, 56}}),  // a refused mapping is not kept
        Entry(3, longUid.substr(0, 63).c_str(), longName.substr(0, 127).c_str(), 6),
    };
    CompatList backward = {Entry(2, L"BACK-ONE", L"Newer Delay", 0)};
    EXPECT_EQ(Describe(r.forwardCompatible), Describe(forward));
    EXPECT_EQ(Describe(r.backwardsCompatible), Describe(backward));
    EXPECT_TRUE(r.forwardCompatible == forward);

    // One message per missing attribute, none for the type-1 entry.
    std::vector<std::wstring> all = sievo_test::ReadLogLines(g_ctx.logPath);
    std::vector<std::wstring> lines(all.begin() + logStart, all.end());
    auto count = [&](const wchar_t* text) { return std::count(lines.begin(), lines.end(), std::wstring(text)); };
    EXPECT_EQ(count(L"Failure to get compatible plugin type"), 1);
    EXPECT_EQ(count(L"Failure to get compatible plugin UID"), 1);
    EXPECT_EQ(count(L"Failure to get compatible plugin name"), 1);
    EXPECT_EQ(count(L"Failure to get compatible plugin replacement policy"), 1);
    int compatLines = 0;
    for (const std::wstring& l : lines)
        if (l.rfind(L"Failure to get compatible", 0) == 0) ++compatLines;
    EXPECT_EQ(compatLines, 4);
}

TEST(Vst3CompatScan, OffersOnlyAutomatableWritableNonProgramParameters) {
    ModuleCopy module(L"persist_compat_lists");
    InventoryRecord r = module.Record();
    ASSERT_EQ(RunProbe(r).result, 1);
    std::vector<std::string> asked;
    for (const std::string& line : module.Trace())
        if (line.rfind("mapping forward 0 ", 0) == 0) asked.push_back(line.substr(18));
    EXPECT_EQ(asked, (std::vector<std::string>{"1", "5"}));
    // The lists are borrowed, never released by the scanner.
    for (const std::string& line : module.Trace()) EXPECT_EQ(line.find(" list"), std::string::npos) << line;
}

TEST(Vst3CompatScan, PluginsWithoutTheInterfaceHaveEmptyLists) {
    ModuleCopy module(L"separate_controller");
    InventoryRecord r = module.Record();
    ASSERT_EQ(RunProbe(r).result, 1);
    EXPECT_TRUE(r.forwardCompatible.empty());
    EXPECT_TRUE(r.backwardsCompatible.empty());
}

// ---- in the registry ----

class Vst3CompatRegistry : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(record_.Create(HKEY_CURRENT_USER, key_.Path().c_str(), KEY_ALL_ACCESS), 0); }
    HKEY Record() const { return record_.Get(); }
    std::wstring Sub(const std::wstring& s) const { return key_.Sub(s.c_str()); }
    bool Exists(const std::wstring& s) const { return key_.Exists(s.c_str()); }

    // Writes raw values into <list>\<entry> the way another tool might have.
    void WriteRaw(const std::wstring& list, const std::wstring& entry, const wchar_t* name, DWORD type,
                  const void* data, DWORD size) {
        RegKey k;
        ASSERT_EQ(k.Create(HKEY_CURRENT_USER, Sub(list + L"\\" + entry).c_str(), KEY_ALL_ACCESS), 0);
        RegSetValueExW(k.Get(), name, 0, type, static_cast<const BYTE*>(data), size);
    }
    std::vector<BYTE> ReadRaw(const std::wstring& path, const wchar_t* name, DWORD* type) {
        std::vector<BYTE> bytes(1024);
        DWORD size = static_cast<DWORD>(bytes.size());
        if (RegGetValueW(HKEY_CURRENT_USER, Sub(path).c_str(), name, RRF_RT_ANY, type, bytes.data(), &size) != 0)
            return {};
        bytes.resize(size);
        return bytes;
    }

    sievo_test::TestKey key_;
    RegKey record_;
};

TEST_F(Vst3CompatRegistry, RoundTripKeepsEveryField) {
    CompatList written = {Entry(3, L"ALPHA", L"Alpha Delay", 2, {{1, 11}, {-5, -55}}), Entry(2, L"BRAVO", L"", 0),
                          Entry(3, L"CHARLIE", L"Charlie", 7, {{100, 0}})};
    WriteVSTPersistCompatData(Record(), L"ForwardCompatible", written);
    CompatList read = {Entry(9, L"STALE", L"stale", 9)};
    ReadVSTPersistCompatData(Record(), L"ForwardCompatible", read);
    auto byUid = [](const CompatEntry& a, const CompatEntry& b) { return lstrcmpW(a.pluginUID, b.pluginUID) < 0; };
    std::sort(read.begin(), read.end(), byUid);
    EXPECT_EQ(Describe(read), Describe(written));
}

TEST_F(Vst3CompatRegistry, ValuesHaveTheirDocumentedTypesAndBytes) {
    WriteVSTPersistCompatData(Record(), L"BackwardsCompatible", {Entry(3, L"UID-1", L"Name", 5, {{7, -1}, {3, 300}})});
    DWORD type = 0;
    std::vector<BYTE> name = ReadRaw(L"BackwardsCompatible\\UID-1", L"pluginName", &type);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(name.size(), 10u);  // four characters and the terminator
    std::vector<BYTE> map = ReadRaw(L"BackwardsCompatible\\UID-1", L"paramMap", &type);
    EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
    const std::vector<BYTE> expected = {3, 0, 0, 0, 0x2C, 1, 0, 0, 7, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(map, expected);
    ReadRaw(L"BackwardsCompatible\\UID-1", L"pluginType", &type);
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    ReadRaw(L"BackwardsCompatible\\UID-1", L"replacementPolicy", &type);
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
}

TEST_F(Vst3CompatRegistry, EmptyMapWritesNoParamMap) {
    WriteVSTPersistCompatData(Record(), L"ForwardCompatible", {Entry(2, L"NOMAP", L"No Map", 1)});
    DWORD type = 0;
    EXPECT_TRUE(ReadRaw(L"ForwardCompatible\\NOMAP", L"paramMap", &type).empty());
    EXPECT_FALSE(ReadRaw(L"ForwardCompatible\\NOMAP", L"pluginName", &type).empty());
}

TEST_F(Vst3CompatRegistry, EmptyListWritesNoSubkeyAndKeepsAnOldOne) {
    WriteVSTPersistCompatData(Record(), L"ForwardCompatible", {});
    EXPECT_FALSE(Exists(L"ForwardCompatible"));
    WriteVSTPersistCompatData(Record(), L"ForwardCompatible", {Entry(2, L"KEEP", L"Keep", 1)});
    WriteVSTPersistCompatData(Record(), L"ForwardCompatible", {});
    EXPECT_TRUE(Exists(L"ForwardCompatible\\KEEP"));
}

TEST_F(Vst3CompatRegistry, ShorterListOverLongerLeavesTheExtraEntries) {
    WriteVSTPersistCompatData(
        Record(), L"ForwardCompatible",
        {Entry(2, L"ONE", L"One", 1), Entry(2, L"TWO", L"Two", 1), Entry(3, L"THREE", L"Three", 1)});
    WriteVSTPersistCompatData(Record(), L"ForwardCompatible", {Entry(3, L"ONE", L"One Again", 4)});
    CompatList read;
    ReadVSTPersistCompatData(Record(), L"ForwardCompatible", read);
    ASSERT_EQ(read.size(), 3u);
    EXPECT_TRUE(Exists(L"ForwardCompatible\\TWO"));
    EXPECT_TRUE(Exists(L"ForwardCompatible\\THREE"));
    for (const CompatEntry& e : read)
        if (lstrcmpW(e.pluginUID, L"ONE") == 0) {
            EXPECT_STREQ(e.pluginName, L"One Again");
            EXPECT_EQ(e.replacementPolicy, 4);
        }
}

TEST_F(Vst3CompatRegistry, DuplicateUidsShareOneSubkeyAndTheLaterValuesWin) {
    WriteVSTPersistCompatData(Record(), L"ForwardCompatible",
                              {Entry(2, L"SAME", L"First", 1, {{1, 1}}), Entry(3, L"SAME", L"Second", 5)});
    CompatList read;
    ReadVSTPersistCompatData(Record(), L"ForwardCompatible", read);
    // The second entry has no map, so the first one's "paramMap" stays.
    EXPECT_EQ(Describe(read), Describe({Entry(3, L"SAME", L"Second", 5, {{1, 1}})}));
}

TEST_F(Vst3CompatRegistry, MissingValuesReadAsZeroAndOddMapSizesAreTrimmed) {
    const wchar_t name[] = L"Partial";
    WriteRaw(L"ForwardCompatible", L"PARTIAL", L"pluginName", REG_SZ, name, sizeof name);
    const BYTE twelve[] = {1, 0, 0, 0, 10, 0, 0, 0, 2, 0, 0, 0};  // one pair and half of another
    WriteRaw(L"ForwardCompatible", L"PARTIAL", L"paramMap", REG_BINARY, twelve, sizeof twelve);
    const BYTE repeated[] = {4, 0, 0, 0, 1, 0, 0, 0, 4, 0, 0, 0, 2, 0, 0, 0};  // the same id twice
    const DWORD type = 3;
    WriteRaw(L"ForwardCompatible", L"REPEATED", L"pluginType", REG_DWORD, &type, sizeof type);
    WriteRaw(L"ForwardCompatible", L"REPEATED", L"paramMap", REG_BINARY, repeated, sizeof repeated);
    CompatList read;
    ReadVSTPersistCompatData(Record(), L"ForwardCompatible", read);
    EXPECT_EQ(Describe(read),
              Describe({Entry(0, L"PARTIAL", L"Partial", 0, {{1, 10}}), Entry(3, L"REPEATED", L"", 0, {{4, 2}})}));
}

TEST_F(Vst3CompatRegistry, OverlongNamesAreCut) {
    std::wstring longName(200, L'n');
    WriteRaw(L"ForwardCompatible", L"A-SHORT", L"pluginName", REG_SZ, longName.c_str(),
             static_cast<DWORD>((longName.size() + 1) * sizeof(wchar_t)));
    std::wstring name126(126, L'm');
    WriteRaw(L"ForwardCompatible", L"B-FITS", L"pluginName", REG_SZ, name126.c_str(),
             static_cast<DWORD>((name126.size() + 1) * sizeof(wchar_t)));
    // A subkey name longer than a UID can be: its cut name does not open, and
    // the enumeration ends there.
    std::wstring longUid = L"C-" + std::wstring(80, L'u');
    WriteRaw(L"ForwardCompatible", longUid, L"pluginName", REG_SZ, L"x", 4);
    WriteRaw(L"ForwardCompatible", L"D-AFTER", L"pluginName", REG_SZ, L"y", 4);
    CompatList read;
    ReadVSTPersistCompatData(Record(), L"ForwardCompatible", read);
    ASSERT_EQ(read.size(), 2u);
    EXPECT_STREQ(read[0].pluginUID, L"A-SHORT");
    EXPECT_STREQ(read[0].pluginName, L"");  // more than the 254 bytes read: kept empty
    EXPECT_STREQ(read[1].pluginUID, L"B-FITS");
    EXPECT_EQ(std::wstring(read[1].pluginName), name126);
}

TEST_F(Vst3CompatRegistry, MissingSubkeyOrNameLeavesTheList) {
    CompatList read = {Entry(2, L"OLD", L"Old", 1)};
    ReadVSTPersistCompatData(Record(), nullptr, read);
    EXPECT_EQ(read.size(), 1u);  // no name: nothing done
    ReadVSTPersistCompatData(Record(), L"ForwardCompatible", read);
    EXPECT_TRUE(read.empty());  // no subkey: emptied
    WriteVSTPersistCompatData(Record(), nullptr, {Entry(2, L"X", L"X", 1)});
    EXPECT_FALSE(Exists(L"X"));
}

}  // namespace
