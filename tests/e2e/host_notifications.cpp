// Background mode as the host sees it: the test host starts the real
// Sievo.exe over real test plug-ins and records every WM_COPYDATA
// notification and every inventory-change post, in the order they came.
// Plug-in counts assume the VST 2 probe recognises effect_with_editor and
// synth_wants_midi as one plug-in each and not_a_plugin as none.
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
        folder = dir.Make(L"plugins");
        echo = dir.Copy(PluginPath(L"effect_with_editor"), L"plugins\\Echo.dll");
        synth = dir.Copy(PluginPath(L"synth_wants_midi"), L"plugins\\Synth.dll");
        readme = dir.Copy(PluginPath(L"not_a_plugin"), L"plugins\\Readme.dll");
        key.AddScanPath(folder);
        key.SetDword(L"scanInSandbox", 0);  // probes in the scanner's own process
    }

    testhost::Report Run(const std::wstring& hostOptions = L"", const std::wstring& extraFlags = L"",
                         const std::function<void()>& whileRunning = nullptr) {
        testhost::Report r =
            testhost::RunTestHost(dir.Path(), hostOptions, key.Args() + extraFlags, 120000, whileRunning);
        EXPECT_TRUE(r.read) << "the test host wrote its report";
        EXPECT_EQ(r.hostExitCode, 0u);
        EXPECT_TRUE(r.started);
        EXPECT_FALSE(r.timedOut);
        EXPECT_EQ(r.sievoExitCode, 0u);
        return r;
    }

    // Every notification is a well-formed payload with the fixed fields.
    static void ExpectWellFormed(const testhost::Report& r) {
        for (const testhost::Event& e : r.Notifications()) {
            std::string what = Narrow(e.text);
            EXPECT_EQ(e.load, 0u) << what;
            EXPECT_EQ(e.tag, 0x5946544Eu) << what;
            EXPECT_EQ(e.wParam, 0u) << what;
            EXPECT_EQ(e.sizeField, e.bytes) << what;
            EXPECT_EQ(e.title, L"VST Scan") << what;
            EXPECT_EQ(e.category, 3) << what;
            EXPECT_EQ(e.level, 0) << what;
            EXPECT_EQ(e.extra, 0u) << what;
        }
        for (const testhost::Event& e : r.Posts()) {
            EXPECT_EQ(e.message, kInventoryChange) << "no other application message";
            EXPECT_EQ(e.wParam, 0u);
            EXPECT_EQ(e.lParam, 0);
        }
    }

    static std::vector<std::wstring> Scanning(const std::vector<std::wstring>& texts) {
        std::vector<std::wstring> out;
        for (const std::wstring& t : texts)
            if (t.rfind(L"Scanning ", 0) == 0) out.push_back(t);
        return out;
    }

    TestKey key;
    TempDir dir;
    std::wstring folder, echo, synth, readme;
};

TEST_F(HostNotifications, FullScanTellsTheHostEachStepInOrderUnderTheGroupItWasGiven) {
    const std::wstring group = L"{5A1E7C3B-9D2F-4B8A-A6C4-0E1F2D3C4B5A}";
    testhost::Report r = Run(L"--toast " + group);
    ExpectWellFormed(r);
    EXPECT_NE(r.sievoCommandLine.find(L"/Background/ZENTAPID:"), std::wstring::npos);

    std::vector<std::wstring> texts = r.Texts();
    ASSERT_EQ(texts.size(), 7u) << Narrow(r.sievoCommandLine);
    EXPECT_EQ(texts[0], kStarted);
    EXPECT_EQ(texts[1], kSearching);
    // One per probed module, in the order the folder gave them.
    std::set<std::wstring> scanned(texts.begin() + 2, texts.begin() + 5);
    EXPECT_EQ(scanned,
              (std::set<std::wstring>{L"Scanning Echo.dll...", L"Scanning Synth.dll...", L"Scanning Readme.dll..."}));
    EXPECT_EQ(texts[5], kRebuilding);
    EXPECT_EQ(texts[6], Complete(2, 2, 0, 0));

    for (const testhost::Event& e : r.Notifications()) {
        EXPECT_EQ(e.toastGuid, group) << Narrow(e.text);
        EXPECT_EQ(e.messageType, 0) << Narrow(e.text);
    }
    // The flag is the run's: 0 during the scan, 1 from the completion on.
    std::vector<testhost::Event> n = r.Notifications();
    for (size_t i = 0; i < n.size(); ++i) EXPECT_EQ(n[i].notifyFlag, i < 5 ? 0u : 1u) << Narrow(n[i].text);

    // No early post (no internal folder, fewer than 25 plug-ins); one after
    // "Rebuilding plugin menus..." and before "Scan complete.".
    std::vector<testhost::Event> posts = r.Posts();
    ASSERT_EQ(posts.size(), 1u);
    EXPECT_EQ(posts[0].afterNotify, 6);
}

TEST_F(HostNotifications, RunWithoutAGroupGetsAFreshOneKeptForTheWholeScan) {
    testhost::Report first = Run(L"--no-toast");
    EXPECT_EQ(first.sievoCommandLine.find(L"ToastGuid"), std::wstring::npos);
    std::vector<testhost::Event> n = first.Notifications();
    ASSERT_GE(n.size(), 3u);
    std::wstring group = n[0].toastGuid;
    EXPECT_NE(group, kNullGroup);
    EXPECT_EQ(group.size(), 38u);
    for (const testhost::Event& e : n) EXPECT_EQ(e.toastGuid, group) << Narrow(e.text);

    testhost::Report second = Run(L"--no-toast");
    ASSERT_FALSE(second.Notifications().empty());
    EXPECT_NE(second.Notifications()[0].toastGuid, group) << "each run makes its own";
}

// Unchanged: only the totals, nothing posted. A plug-in removed: counted,
// the menus rebuilt and the change posted before the completion.
TEST_F(HostNotifications, RescansReportOnlyWhatChanged) {
    Run();
    testhost::Report r = Run();
    ExpectWellFormed(r);
    EXPECT_EQ(r.Texts(), (std::vector<std::wstring>{kStarted, kSearching, Complete(2, 0, 0, 0)}));
    EXPECT_TRUE(r.Posts().empty());
    ASSERT_TRUE(DeleteFileW(synth.c_str()));
    r = Run();
    EXPECT_EQ(r.Texts(), (std::vector<std::wstring>{kStarted, kSearching, kRebuilding, Complete(1, 0, 1, 0)}));
    ASSERT_EQ(r.Posts().size(), 1u);
    EXPECT_EQ(r.Posts()[0].afterNotify, 3);
}

TEST_F(HostNotifications, WithALogTheLastNoticeNamesItWithoutGroupOrFlag) {
    testhost::Report r = Run(L"", L"/Log");
    ExpectWellFormed(r);
    std::vector<testhost::Event> n = r.Notifications();
    ASSERT_GE(n.size(), 2u);
    const testhost::Event& last = n.back();
    wchar_t shortened[MAX_PATH] = {};
    ASSERT_TRUE(PathUnExpandEnvStringsW(MainLogPath().c_str(), shortened, MAX_PATH));
    EXPECT_EQ(last.text, L"Sievo Log created. " + std::wstring(shortened));
    EXPECT_EQ(last.text.rfind(L"Sievo Log created. %", 0), 0u) << "the path with its variable put back";
    EXPECT_EQ(last.toastGuid, kNullGroup);
    EXPECT_EQ(last.notifyFlag, 0u);
    EXPECT_EQ(last.messageType, 0);
    const testhost::Event& complete = n[n.size() - 2];
    EXPECT_EQ(complete.text, Complete(2, 2, 0, 0));
    EXPECT_EQ(complete.toastGuid, r.toastGuid);
    EXPECT_EQ(complete.notifyFlag, 1u);

    auto log = ReadLogLines(MainLogPath());
    EXPECT_TRUE(Contains(log, L"SIEVO: Sending WM_PLUGIN_INVENTORY_CHANGE"));
}

TEST_F(HostNotifications, AnInternalFolderPostsTheInventoryChangeOnceItsPlugInsAreIn) {
    // Three plug-ins in the internal folder, one more in a user folder.
    std::wstring internal = dir.Make(L"internal");
    dir.Copy(PluginPath(L"effect_with_editor"), L"internal\\A.dll");
    dir.Copy(PluginPath(L"synth_wants_midi"), L"internal\\B.dll");
    dir.Copy(PluginPath(L"effect_with_editor"), L"internal\\C.dll");
    key.AddInternalPath(internal);
    DeleteFileW(readme.c_str());
    DeleteFileW(synth.c_str());

    testhost::Report r = Run();
    ExpectWellFormed(r);
    std::vector<std::wstring> texts = r.Texts();
    ASSERT_EQ(texts.size(), 8u);
    EXPECT_EQ(Scanning(texts).size(), 4u);
    EXPECT_EQ(texts[2].find(L"Scanning Echo"), std::wstring::npos) << "internal folders come first";
    EXPECT_EQ(texts[5], L"Scanning Echo.dll...");
    EXPECT_EQ(texts[6], kRebuilding);
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
    // The load-error dialog comes up in background mode too; the user keeps
    // the plug-in disabled.
    int answered = 0;
    testhost::Report r = Run(L"", L"", [&] {
        if (HWND dialog = testhost::FindWindowByCaption(L"Tarnwell VST Scan: VST Plug-in Load Error")) {
            PostMessageW(GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0);
            ++answered;
            Sleep(300);
        }
    });
    EXPECT_GE(answered, 1);
    ExpectWellFormed(r);
    std::vector<testhost::Event> errors;
    for (const testhost::Event& e : r.Notifications())
        if (e.messageType == 2) errors.push_back(e);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].text.rfind(L"Error: [Crashy] ", 0), 0u) << Narrow(errors[0].text);
    EXPECT_GT(errors[0].text.size(), std::wstring(L"Error: [Crashy] ").size()) << "names the step";
    EXPECT_EQ(errors[0].toastGuid, r.toastGuid);
    std::vector<std::wstring> texts = r.Texts();
    auto scanning = std::find(texts.begin(), texts.end(), L"Scanning Crashy.dll...");
    auto error = std::find(texts.begin(), texts.end(), errors[0].text);
    EXPECT_LT(scanning, error) << "announced, then reported";
    ASSERT_FALSE(r.Texts().empty());
    const std::wstring& last = r.Texts().back();
    EXPECT_NE(last.find(L"1 errors)."), std::wstring::npos) << Narrow(last);
}

}  // namespace
