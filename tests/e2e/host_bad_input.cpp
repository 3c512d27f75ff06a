// Hosts that are not there or do not behave: the notifications are lost
// without a sound, the scan goes on, and its records and counters are
// written all the same. Plug-in counts assume the VST 2 probe recognises
// effect_with_editor and synth_wants_midi (one plug-in each).
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "tools/testhost/TestHostClient.h"

using namespace sievo_test;

namespace {

class HostBadInput : public ::testing::Test {
protected:
    void SetUp() override {
        DeleteLogs();
        std::wstring folder = dir.Make(L"plugins");
        dir.Copy(PluginPath(L"effect_with_editor"), L"plugins\\Echo.dll");
        dir.Copy(PluginPath(L"synth_wants_midi"), L"plugins\\Synth.dll");
        dir.Copy(PluginPath(L"not_a_plugin"), L"plugins\\Readme.dll");
        key.AddScanPath(folder);
        key.SetDword(L"scanInSandbox", 0);
    }

    testhost::Report Run(const std::wstring& hostOptions) {
        testhost::Report r = testhost::RunTestHost(dir.Path(), hostOptions, key.Args() + L"/Log", 120000);
        EXPECT_TRUE(r.read);
        EXPECT_EQ(r.hostExitCode, 0u) << "Sievo ran to its end";
        EXPECT_EQ(r.sievoExitCode, 0u);
        return r;
    }

    // The scan itself was not disturbed: three records, the counters, and
    // the end of the log.
    void ExpectScanDone() {
        EXPECT_EQ(key.InventoryKeys().size(), 3u);
        EXPECT_EQ(key.Show(L"Inventory", L"PluginsFound PluginsScanned"), L"PluginsFound=2 PluginsScanned=2");
        auto log = ReadLogLines(MainLogPath());
        bool finished = false;
        for (const std::wstring& line : log)
            if (line.rfind(L"SIEVO: Finished analyzing VST plugins", 0) == 0) finished = true;
        EXPECT_TRUE(finished);
    }

    TestKey key;
    TempDir dir;
};

TEST_F(HostBadInput, WithoutBackgroundNothingIsSentOrPosted) {
    testhost::Report r = Run(L"--no-background");
    EXPECT_EQ(r.sievoCommandLine.find(L"Background"), std::wstring::npos);
    EXPECT_NE(r.sievoCommandLine.find(L"/ZENTAHWND:"), std::wstring::npos) << "the host window was given";
    EXPECT_TRUE(r.events.empty());
    ExpectScanDone();
}

TEST_F(HostBadInput, AZeroOrMissingHostWindowLeavesNoOneToTell) {
    testhost::Report zero = Run(L"--hwnd zero");
    EXPECT_NE(zero.sievoCommandLine.find(L"/ZENTAHWND:0/"), std::wstring::npos);
    EXPECT_TRUE(zero.events.empty());
    ExpectScanDone();
    // Nothing about it reaches the log either: no inventory change was sent.
    EXPECT_FALSE(Contains(ReadLogLines(MainLogPath()), L"SIEVO: Sending WM_PLUGIN_INVENTORY_CHANGE"));

    testhost::Report none = Run(L"--hwnd none");
    EXPECT_EQ(none.sievoCommandLine.find(L"ZENTAHWND"), std::wstring::npos);
    EXPECT_TRUE(none.events.empty());
}

TEST_F(HostBadInput, AHostWindowThatIsGoneCostsOnlyTheMessages) {
    testhost::Report r = Run(L"--hwnd gone");
    EXPECT_NE(r.hostWindow, 0);
    EXPECT_TRUE(r.events.empty());
    ExpectScanDone();
}

TEST_F(HostBadInput, AHostThatAnswersNonsenseStillGetsEverything) {
    testhost::Report r = Run(L"--answer 0xBADF00D");
    std::vector<std::wstring> texts = r.Texts();
    ASSERT_GE(texts.size(), 7u);
    EXPECT_EQ(texts[0], L"Scan started.");
    EXPECT_EQ(texts[texts.size() - 2], L"Scan complete.\n2 plugins found (2 new, 0 removed, 0 errors).");
    EXPECT_EQ(texts.back().rfind(L"Sievo Log created. ", 0), 0u);
    EXPECT_EQ(r.Posts().size(), 1u);
    ExpectScanDone();
}

TEST_F(HostBadInput, AHostThatGoesAwayMidScanLosesTheRestAndTheScanFinishes) {
    testhost::Report r = Run(L"--destroy-after 3");
    std::vector<std::wstring> texts = r.Texts();
    ASSERT_EQ(texts.size(), 3u) << "nothing arrives once the window is gone";
    EXPECT_EQ(texts[0], L"Scan started.");
    EXPECT_EQ(texts[1], L"Searching for plugins...");
    EXPECT_EQ(texts[2].rfind(L"Scanning ", 0), 0u);
    EXPECT_TRUE(r.Posts().empty());
    ExpectScanDone();
}

}  // namespace
