// The scan metrics beside the inventory, which the host reads whenever it
// likes: what a full scan, an unchanged rescan, a single-plug-in run, a
// sandboxed scan and a configuration run leave there. Counts assume the
// VST 2 probe recognises effect_with_editor and synth_wants_midi (one plug-in
// each) and not not_a_plugin.
#include "ui_driver.h"

#include <cstdlib>

#include "tools/testhost/TestHostClient.h"

using namespace ui_test;

namespace {

constexpr ULONGLONG kOldStamp = 0x01D0000000000000ull;  // some day in 2014

ULONGLONG LocalNow() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    FILETIME stamp;
    SystemTimeToFileTime(&now, &stamp);
    return static_cast<ULONGLONG>(stamp.dwHighDateTime) << 32 | stamp.dwLowDateTime;
}

class Metrics : public ::testing::Test {
protected:
    void SetUp() override {
        DeleteLogs();
        folder = dir.Make(L"plugins");
        echo = dir.Copy(PluginPath(L"effect_with_editor"), L"plugins\\Echo.dll");
        synth = dir.Copy(PluginPath(L"synth_wants_midi"), L"plugins\\Synth.dll");
        dir.Copy(PluginPath(L"not_a_plugin"), L"plugins\\Readme.dll");
        key.AddScanPath(folder);
    }

    testhost::Report Host(const std::wstring& sievoFlags = L"") {
        testhost::Report r = testhost::RunTestHost(dir.Path(), L"", key.Args() + sievoFlags, 120000);
        EXPECT_TRUE(r.read);
        EXPECT_EQ(r.hostExitCode, 0u);
        return r;
    }
    std::wstring Counters() const { return key.Show(L"Inventory", L"PluginsFound PluginsScanned PluginsDeleted"); }
    void SetCounter(const wchar_t* name, DWORD v) const { key.SetDword(name, v, L"Inventory"); }
    void SetCounters(DWORD found, DWORD scanned, DWORD deleted) const {
        SetCounter(L"PluginsFound", found);
        SetCounter(L"PluginsScanned", scanned);
        SetCounter(L"PluginsDeleted", deleted);
    }
    // 0 when missing or not a REG_QWORD of 8 bytes.
    ULONGLONG Stamp() const {
        ULONGLONG v = 0;
        DWORD cb = sizeof v;
        if (RegGetValueW(HKEY_CURRENT_USER, key.Sub(L"Inventory").c_str(), L"lastUpdateTime", RRF_RT_REG_QWORD, nullptr,
                         &v, &cb) != ERROR_SUCCESS ||
            cb != 8)
            return 0;
        return v;
    }
    void SetStamp(ULONGLONG v) const {
        RegSetKeyValueW(HKEY_CURRENT_USER, key.Sub(L"Inventory").c_str(), L"lastUpdateTime", REG_QWORD, &v, sizeof v);
    }
    // Written during this test, in local time: within two minutes of now.
    static void ExpectFresh(ULONGLONG stamp) {
        const LONGLONG twoMinutes = 2LL * 60 * 10000000;
        LONGLONG diff = static_cast<LONGLONG>(LocalNow() - stamp);
        EXPECT_LT(std::llabs(diff), twoMinutes) << "stamp " << stamp << ", local now " << LocalNow();
    }

    TestKey key;
    TempDir dir;
    std::wstring folder, echo, synth;
};

TEST_F(Metrics, FullScanSetsTheCountersAndStampsTheChange) {
    key.SetDword(L"scanInSandbox", 0);
    SetCounter(L"PluginsFound", 40);  // replaced, not added to
    SetCounter(L"PluginsDeleted", 9);
    Host();
    EXPECT_EQ(Counters(), L"PluginsFound=2 PluginsScanned=2 PluginsDeleted=0");
    ExpectFresh(Stamp());
    EXPECT_EQ(key.Dword(L"SievoGUIVisible"), 0u);
}

TEST_F(Metrics, AnUnchangedRescanWritesTheCountersButKeepsTheStamp) {
    key.SetDword(L"scanInSandbox", 0);
    Host();
    SetStamp(kOldStamp);
    Host();
    EXPECT_EQ(Counters(), L"PluginsFound=2 PluginsScanned=0 PluginsDeleted=0");
    EXPECT_EQ(Stamp(), kOldStamp);

    // A removal is a change: counted and stamped.
    ASSERT_TRUE(DeleteFileW(synth.c_str()));
    Host();
    EXPECT_EQ(Counters(), L"PluginsFound=1 PluginsScanned=0 PluginsDeleted=1");
    ExpectFresh(Stamp());
}

TEST_F(Metrics, ASinglePlugInRunAddsToTheStoredCountersAndTellsTheHostOnlyWhatItScans) {
    Host(L"/ScanVst:\"" + echo + L"\"");  // creates the record and counts 1, 1, 0 from nothing
    EXPECT_EQ(Counters(), L"PluginsFound=1 PluginsScanned=1 PluginsDeleted=0");

    SetCounters(10, 5, 7);
    SetStamp(kOldStamp);
    testhost::Report r = Host(L"/ScanVst:\"" + synth + L"\"");
    EXPECT_EQ(Counters(), L"PluginsFound=11 PluginsScanned=6 PluginsDeleted=7");
    ExpectFresh(Stamp());

    // No start, no search, no completion notices and no post in this mode.
    std::vector<std::wstring> expected = {L"Scanning Synth.dll..."};
    EXPECT_EQ(r.Texts(), expected);
    EXPECT_TRUE(r.Posts().empty());
    ASSERT_EQ(r.Notifications().size(), 1u);
    EXPECT_EQ(r.Notifications()[0].toastGuid, r.toastGuid);
}

// With sandboxing each module is scanned by a child run of the program with
// the parent's flags: the child announces its module too, and the counters
// are the sums the children stored.
TEST_F(Metrics, ASandboxedScanReportsTheChildrensSums) {
    SetCounter(L"PluginsFound", 40);  // reset at the start of a sandboxed scan
    SetCounter(L"PluginsScanned", 40);
    testhost::Report r = Host();
    EXPECT_EQ(Counters(), L"PluginsFound=2 PluginsScanned=2 PluginsDeleted=0");
    ExpectFresh(Stamp());

    std::vector<std::wstring> texts = r.Texts();
    ASSERT_GE(texts.size(), 4u);
    EXPECT_EQ(texts.front(), L"Scan started.");
    EXPECT_EQ(texts.back(), L"Scan complete.\n2 plugins found (2 new, 0 removed, 0 errors).");
    int echoes = 0;
    for (const std::wstring& t : texts) echoes += t == L"Scanning Echo.dll..." ? 1 : 0;
    EXPECT_EQ(echoes, 2) << "once from the scan, once from the child that probes it";
    for (const testhost::Event& e : r.Notifications()) EXPECT_EQ(e.toastGuid, r.toastGuid) << Narrow(e.text);
    // The parent's own count stays 0 during the loop: only the final post.
    ASSERT_EQ(r.Posts().size(), 1u);
    EXPECT_EQ(r.Posts()[0].afterNotify, static_cast<long long>(texts.size()) - 1);
}

// A configuration run whose dialog changed a record writes the counters as
// they are (0) and a fresh stamp.
TEST_F(Metrics, AConfigurationRunThatChangedARecordStampsTheInventory) {
    constexpr int kNrpn = 1011, kOk = 64;
    SeedRecord record;
    record.path = L"C:\\Plugins\\Echo.dll";
    record.name = L"Echo";
    record.clsid = L"{5EED0001-0000-4000-8000-000000000002}";
    Seed(key, record);
    auto edit = [&](bool change) {
        Sievo sievo(key.Args() + L"/VstProps:" + RecordText(key, record, L"clsidPlug"));
        HWND dialog = sievo.Wait(kPropsCaption);
        ASSERT_NE(dialog, nullptr);
        if (change) Toggle(dialog, kNrpn);
        ClickButton(dialog, kOk);
        ASSERT_EQ(sievo.WaitExit(), 0u);
    };
    edit(false);  // the first save stores the class ids made from the record
    SetCounters(5, 5, 5);
    SetStamp(kOldStamp);
    edit(true);
    EXPECT_EQ(Counters(), L"PluginsFound=0 PluginsScanned=0 PluginsDeleted=0");
    ExpectFresh(Stamp());
}

}  // namespace
