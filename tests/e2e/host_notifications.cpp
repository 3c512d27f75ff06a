// Background mode as the host sees it: the test host starts the real
// Sievo.exe over real test plug-ins and records every notification and
// inventory-change post in order; the scan metrics beside the inventory.
// effect_with_editor and synth_wants_midi are one plug-in each, not_a_plugin none.
#include <gtest/gtest.h>

#include <shlwapi.h>

#include <algorithm>
#include <functional>
#include <set>

#include "TestSupport.h"
#include "tools/testhost/TestHostClient.h"

using namespace sievo_test;

namespace {

constexpr unsigned long long kInventoryChange = 0x8082;
constexpr ULONGLONG kOldStamp = 0x01D0000000000000ull;  // some day in 2014
const std::wstring kNullGroup = L"{00000000-0000-0000-0000-000000000000}";
const std::wstring kStarted = L"Scan started.";
const std::wstring kSearching = L"Searching for plugins...";
const std::wstring kRebuilding = L"Rebuilding plugin menus...";

std::wstring Complete(int found, int added, int removed, int errors) {
    wchar_t text[200];
    swprintf(text, 200, L"Scan complete.\n%d plugins found (%d new, %d removed, %d errors).", found, added, removed,
             errors);
    return text;
}

class HostNotifications : public ::testing::Test {
protected:
    void SetUp() override {
        DeleteLogs();
        echo = dir.Copy(PluginPath(L"effect_with_editor"), L"plugins\\Echo.dll");
        synth = dir.Copy(PluginPath(L"synth_wants_midi"), L"plugins\\Synth.dll");
        readme = dir.Copy(PluginPath(L"not_a_plugin"), L"plugins\\Readme.dll");
        key.AddScanPath(dir.Path() + L"\\plugins");
        key.SetDword(L"scanInSandbox", 0);  // probes in the scanner's own process
    }

    testhost::Report Run(const std::wstring& hostOptions = L"", const std::wstring& extraFlags = L"",
                         const std::function<void()>& whileRunning = nullptr) {
        testhost::Report r =
            testhost::RunTestHost(dir.Path(), hostOptions, key.Args() + extraFlags, 120000, whileRunning);
        EXPECT_TRUE(r.read) << "the test host wrote its report";
        EXPECT_EQ(r.hostExitCode, 0u);
        EXPECT_FALSE(r.timedOut);
        EXPECT_EQ(r.sievoExitCode, 0u);
        for (const testhost::Event& e : r.Posts())
            EXPECT_TRUE(e.message == kInventoryChange && e.wParam + e.lParam == 0) << "no other message, no arguments";
        return r;
    }
    ULONGLONG Stamp() const {  // 0 when missing or not a REG_QWORD
        const std::vector<BYTE> v = key.Values(L"Inventory")[L"lastUpdateTime"];
        ULONGLONG at = 0;
        if (v.size() == 12 && v[0] == REG_QWORD) memcpy(&at, v.data() + 4, 8);
        return at;
    }

    TestKey key;
    TempDir dir;
    std::wstring echo, synth, readme;
};

// With a log the last notice names it, without group or flag. Without a
// group each run makes a fresh one. Unchanged: only the totals, no post, the
// stamp kept. A removal: menus rebuilt, posted and stamped.
TEST_F(HostNotifications, EachRunTellsTheHostEachStepAndWhatChangedUnderItsGroup) {
    key.SetDword(L"PluginsFound", 40, L"Inventory");  // replaced, not added to
    key.SetDword(L"PluginsDeleted", 9, L"Inventory");
    const std::wstring group = L"{5A1E7C3B-9D2F-4B8A-A6C4-0E1F2D3C4B5A}";
    testhost::Report r = Run(L"--toast " + group, L"/Log");
    EXPECT_EQ(key.Counters(), L"PluginsFound=2 PluginsScanned=2 PluginsDeleted=0");
    EXPECT_GT(Stamp(), kOldStamp);
    EXPECT_EQ(key.Dword(L"SievoGUIVisible"), 0u);

    std::vector<std::wstring> texts = r.Texts();
    ASSERT_EQ(texts.size(), 8u) << Narrow(r.sievoCommandLine);
    EXPECT_EQ(texts[0], kStarted);
    EXPECT_EQ(texts[1], kSearching);
    // One per probed module.
    EXPECT_EQ(std::set<std::wstring>(texts.begin() + 2, texts.begin() + 5),
              (std::set<std::wstring>{L"Scanning Echo.dll...", L"Scanning Synth.dll...", L"Scanning Readme.dll..."}));
    EXPECT_EQ(texts[5], kRebuilding);
    EXPECT_EQ(texts[6], Complete(2, 2, 0, 0));
    wchar_t shortened[MAX_PATH] = {};
    ASSERT_TRUE(PathUnExpandEnvStringsW(MainLogPath().c_str(), shortened, MAX_PATH));
    EXPECT_EQ(texts[7], L"Sievo Log created. " + std::wstring(shortened));
    EXPECT_EQ(texts[7].rfind(L"Sievo Log created. %", 0), 0u) << "the path with its variable put back";

    // The flag is the run's: 0 during the scan, 1 from the menus on.
    std::vector<testhost::Event> n = r.Notifications();
    for (size_t i = 0; i < n.size(); ++i) {
        EXPECT_EQ(n[i].toastGuid, i < 7 ? group : kNullGroup) << Narrow(n[i].text);
        EXPECT_EQ(n[i].notifyFlag, i == 5 || i == 6 ? 1u : 0u) << Narrow(n[i].text);
        EXPECT_EQ(n[i].messageType, 0) << Narrow(n[i].text);
        EXPECT_EQ(n[i].category, 3) << Narrow(n[i].text);
    }
    // No early post (no internal folder, fewer than 25 plug-ins); one after
    // "Rebuilding plugin menus..." and before "Scan complete.".
    std::vector<testhost::Event> posts = r.Posts();
    ASSERT_EQ(posts.size(), 1u);
    EXPECT_EQ(posts[0].afterNotify, 6);
    EXPECT_TRUE(Contains(ReadLogLines(MainLogPath()), L"SIEVO: Sending WM_PLUGIN_INVENTORY_CHANGE"));

    RegSetKeyValueW(HKEY_CURRENT_USER, key.Sub(L"Inventory").c_str(), L"lastUpdateTime", REG_QWORD, &kOldStamp, 8);
    r = Run(L"--no-toast");
    const std::wstring made = r.Notifications().at(0).toastGuid;
    EXPECT_TRUE(made != kNullGroup && made != group) << Narrow(made);
    for (const testhost::Event& e : r.Notifications()) EXPECT_EQ(e.toastGuid, made) << Narrow(e.text);
    EXPECT_EQ(r.Texts(), (std::vector<std::wstring>{kStarted, kSearching, Complete(2, 0, 0, 0)}));
    EXPECT_TRUE(r.Posts().empty());
    EXPECT_EQ(key.Counters(), L"PluginsFound=2 PluginsScanned=0 PluginsDeleted=0");
    EXPECT_EQ(Stamp(), kOldStamp);

    ASSERT_TRUE(DeleteFileW(synth.c_str()));
    r = Run(L"--no-toast");
    EXPECT_NE(r.Notifications().at(0).toastGuid, made) << "each run makes its own";
    EXPECT_EQ(r.Texts(), (std::vector<std::wstring>{kStarted, kSearching, kRebuilding, Complete(1, 0, 1, 0)}));
    ASSERT_EQ(r.Posts().size(), 1u);
    EXPECT_EQ(r.Posts()[0].afterNotify, 3);
    EXPECT_EQ(key.Counters(), L"PluginsFound=1 PluginsScanned=0 PluginsDeleted=1");
    EXPECT_GT(Stamp(), kOldStamp);
}

TEST_F(HostNotifications, AnInternalFolderPostsTheInventoryChangeOnceItsPlugInsAreIn) {
    dir.Copy(PluginPath(L"effect_with_editor"), L"internal\\A.dll");
    dir.Copy(PluginPath(L"synth_wants_midi"), L"internal\\B.dll");
    dir.Copy(PluginPath(L"effect_with_editor"), L"internal\\C.dll");
    key.AddInternalPath(dir.Path() + L"\\internal");
    DeleteFileW(readme.c_str());
    DeleteFileW(synth.c_str());

    testhost::Report r = Run();
    std::vector<std::wstring> texts = r.Texts();
    ASSERT_EQ(texts.size(), 8u);
    EXPECT_EQ(texts[5], L"Scanning Echo.dll...") << "internal folders come first";
    EXPECT_EQ(texts[7], Complete(4, 4, 0, 0));
    // The third internal plug-in makes pluginsFound equal the internal count:
    // posted before the fourth module is announced. Then the final one.
    std::vector<testhost::Event> posts = r.Posts();
    ASSERT_EQ(posts.size(), 2u);
    EXPECT_EQ(posts[0].afterNotify, 5);
    EXPECT_EQ(posts[1].afterNotify, 7);
}

TEST_F(HostNotifications, APlugInFaultReachesTheHostAsAnErrorAndIsCounted) {
    dir.Copy(PluginPath(L"crash_in_open"), L"plugins\\Crashy.dll");
    // The load-error dialog comes up in background mode too; keep it disabled.
    int answered = 0;
    testhost::Report r = Run(L"", L"", [&] {
        if (HWND dialog = testhost::FindWindowByCaption(kLoadErrorCaption)) {
            PostMessageW(GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0);
            ++answered;
            Sleep(300);
        }
    });
    EXPECT_GE(answered, 1);
    std::vector<testhost::Event> errors;
    for (const testhost::Event& e : r.Notifications())
        if (e.messageType == 2) errors.push_back(e);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].text.rfind(L"Error: [Crashy] ", 0), 0u) << Narrow(errors[0].text);
    EXPECT_GT(errors[0].text.size(), std::wstring(L"Error: [Crashy] ").size()) << "names the step";
    EXPECT_EQ(errors[0].toastGuid, r.toastGuid);
    std::vector<std::wstring> texts = r.Texts();
    auto scanning = std::find(texts.begin(), texts.end(), L"Scanning Crashy.dll...");
    EXPECT_LT(scanning, std::find(texts.begin(), texts.end(), errors[0].text)) << "announced, then reported";
    ASSERT_FALSE(texts.empty());
    EXPECT_NE(texts.back().find(L"1 errors)."), std::wstring::npos) << Narrow(texts.back());
}

}  // namespace
