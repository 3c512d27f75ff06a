// VST 2 shells across scans: one record per member beside the shell's, kept
// while the shell is unchanged, replaced when the member list changes.
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "tools/testhost/TestHostClient.h"

using namespace sievo_test;

namespace {

class Shells : public ::testing::Test {
protected:
    void SetUp() override {
        DeleteLogs();
        key.AddScanPath(dir.Make(L"plugins"));
        key.SetDword(L"scanInSandbox", 0);
    }

    std::wstring Add(const wchar_t* plugin, const std::wstring& fileName) {
        return dir.Copy(PluginPath(plugin), L"plugins\\" + fileName);
    }

    // The members' key names without their owner: "*<id> <name>", sorted.
    std::vector<std::wstring> Members(const std::wstring& module) const {
        std::vector<std::wstring> out;
        for (const std::wstring& r : key.RecordsOf(module))
            if (r.find(L'*') != std::wstring::npos) out.push_back(r.substr(r.find(L'*')));
        return out;
    }
    DWORD Dword(const std::wstring& record, const wchar_t* name) const { return key.Dword(name, record.c_str()); }

    void Scan() { ASSERT_EQ(RunSievo(key.Args() + L"/Log", 120000).exitCode, 0u); }
    // A visible scan that answers every load-error dialog with `button`.
    LoadErrors ScanAnswering(int button) {
        LoadErrors seen;
        EXPECT_EQ(RunAnswering(key.Args() + L"/Log", button, &seen).exitCode, 0u);
        return seen;
    }

    TestKey key;
    TempDir dir;
};

using Names = std::vector<std::wstring>;

TEST_F(Shells, AnUnchangedShellKeepsItsMembersARenamedMemberLosesItsRecordOnUpdate) {
    const std::wstring shell = Add(L"shell_renames_member", L"Colours.dll");
    Scan();
    const std::wstring root = TestKey::Record(shell);
    EXPECT_EQ(key.Show(root, L"isShell isShellRoot factoryFlags numClasses"),
              L"isShell=1 isShellRoot=1 factoryFlags=1 numClasses=3");
    ASSERT_EQ(Members(shell), (Names{L"*2001 Red", L"*2002 Green", L"*2003 Blue"}));
    const std::wstring green = root + L"*2002 Green";
    EXPECT_EQ(key.Show(green, L"FullName uniqueId isShellRoot numParams"),
              L"FullName=Green uniqueId=2002 isShellRoot=0 numParams=2");
    EXPECT_EQ(key.Counters(), L"PluginsFound=3 PluginsScanned=3 PluginsDeleted=0");
    EXPECT_EQ(ReadLogLines(shell + L".created"), (Names{L"root", L"sub 2001", L"sub 2002", L"sub 2003"}));

    // A member renamed in a module file that is the same as last time, with
    // as many members: the members are not looked at again.
    key.SetDword(L"numParams", 77, green.c_str());
    dir.Write(L"plugins\\Colours.dll.renamed", "");
    DeleteLogs();
    Scan();
    // The shell is asked for its list again (it may change at any load), but
    // not one member is created.
    EXPECT_EQ(ReadLogLines(shell + L".created"), (Names{L"root", L"sub 2001", L"sub 2002", L"sub 2003", L"root"}));
    EXPECT_EQ(Members(shell), (Names{L"*2001 Red", L"*2002 Green", L"*2003 Blue"}));
    EXPECT_EQ(Dword(green, L"numParams"), 77u) << "the member's record was left alone";
    EXPECT_EQ(Dword(root, L"numClasses"), 3u);
    EXPECT_EQ(key.Counters(), L"PluginsFound=3 PluginsScanned=0 PluginsDeleted=0");
    EXPECT_FALSE(Contains(ReadLogLines(MainLogPath()), L"SIEVO: Scan VST Shell plugins..."));

    // An update of the file (a later write time): the members are created
    // again, the renamed one gets its new record and its old one goes.
    ASSERT_TRUE(MakeNewer(shell));
    Scan();
    EXPECT_EQ(Members(shell), (Names{L"*2001 Red", L"*2002 Green Renamed", L"*2003 Blue"}));
    EXPECT_EQ(key.Text(L"FullName", (root + L"*2002 Green Renamed").c_str()), L"Green Renamed");
    EXPECT_EQ(key.Counters(), L"PluginsFound=3 PluginsScanned=3 PluginsDeleted=0")
        << "a rename removes nothing the host had";
}

TEST_F(Shells, AShellListingAnotherNumberOfMembersHasThemAllReplaced) {
    const std::wstring shell = Add(L"shell_count_changes", L"Ensemble.dll");
    const std::wstring root = TestKey::Record(shell);
    Scan();
    ASSERT_EQ(Members(shell), (Names{L"*4001 Member 1", L"*4002 Member 2", L"*4003 Member 3"}));
    key.SetDword(L"numParams", 77, (root + L"*4001 Member 1").c_str());

    // Fewer members: all three old records go first (and are counted), then
    // the two it lists now are written afresh.
    dir.Write(L"plugins\\Ensemble.dll.count", "2");
    Scan();
    EXPECT_EQ(Members(shell), (Names{L"*4001 Member 1", L"*4002 Member 2"}));
    EXPECT_EQ(Dword(root + L"*4001 Member 1", L"numParams"), 2u) << "written afresh";
    EXPECT_EQ(Dword(root, L"numClasses"), 2u);
    EXPECT_EQ(key.Counters(), L"PluginsFound=2 PluginsScanned=2 PluginsDeleted=3");

    // More members.
    dir.Write(L"plugins\\Ensemble.dll.count", "5");
    Scan();
    EXPECT_EQ(Members(shell),
              (Names{L"*4001 Member 1", L"*4002 Member 2", L"*4003 Member 3", L"*4004 Member 4", L"*4005 Member 5"}));
    EXPECT_EQ(Dword(root, L"numClasses"), 5u);
    EXPECT_EQ(key.Counters(), L"PluginsFound=5 PluginsScanned=5 PluginsDeleted=2");

    // Uninstalled: the sweep takes the members with their shell.
    ASSERT_TRUE(DeleteFileW(shell.c_str()));
    Scan();
    EXPECT_TRUE(Members(shell).empty());
    EXPECT_FALSE(key.Exists(root.c_str()));
    EXPECT_EQ(key.Dword(L"PluginsDeleted", L"Inventory"), 5u) << "the members count, the shell module itself does not";
}

TEST_F(Shells, AFaultWhileCreatingTheSecondMemberKeepsTheFirst) {
    const std::wstring shell = Add(L"shell_faults_on_second", L"Faulty.dll");
    const std::wstring root = TestKey::Record(shell);

    // Enabled anyway: the result is the one member listed before the fault.
    LoadErrors seen = ScanAnswering(kEnablePlugin);
    EXPECT_EQ(seen.dialogs, 1);
    EXPECT_EQ(seen.step, L"Create shell sub-plugin");
    EXPECT_EQ(ReadLogLines(shell + L".created"), (Names{L"root", L"sub 5001", L"sub 5002"}));
    // All three are stored as listed, but the fault cut the probe short
    // before it noted the file's time and size: the next scan takes the
    // module as changed, walks it again and the user is asked again.
    EXPECT_EQ(key.Show(root, L"isBad isShellRoot numClasses"), L"isBad=0 isShellRoot=1 numClasses=3");
    EXPECT_EQ(Members(shell), (Names{L"*5001 First"}));
    EXPECT_EQ(Dword(root + L"*5001 First", L"isBad"), 0u);
    EXPECT_EQ(key.Dword(L"PluginsScanned", L"Inventory"), 1u);
    EXPECT_EQ(ScanAnswering(kEnablePlugin).dialogs, 1);
    EXPECT_EQ(ReadLogLines(shell + L".created"),
              (Names{L"root", L"sub 5001", L"sub 5002", L"root", L"sub 5001", L"sub 5002"}));
    EXPECT_EQ(Members(shell), (Names{L"*5001 First"}));
}

// In background mode a shell of more than ten members tells the host of the
// inventory change as soon as it is in; a shell of three only at the end.
TEST_F(Shells, ABigShellIsPostedToTheHostAtOnce) {
    Add(L"shell_renames_member", L"Colours.dll");
    Add(L"shell_thirty", L"Thirty.dll");
    testhost::Report r = testhost::RunTestHost(dir.Path(), L"", key.Args(), 120000, nullptr);
    ASSERT_TRUE(r.read);
    ASSERT_EQ(r.sievoExitCode, 0u);
    std::vector<std::wstring> texts = r.Texts();
    ASSERT_EQ(texts.size(), 39u);
    EXPECT_EQ(texts[2], L"Scanning Colours.dll...");
    EXPECT_EQ(texts[6], L"Scanning Thirty.dll...");
    for (int i = 1; i <= 30; ++i) {
        wchar_t expected[40];
        swprintf(expected, 40, L"Scanning Voice %02d...", i);  // the listed name after its last backslash
        EXPECT_EQ(texts[6 + i], expected);
    }
    EXPECT_EQ(texts[37], L"Rebuilding plugin menus...");
    EXPECT_EQ(texts[38].rfind(L"Scan complete.\n33 plugins found", 0), 0u) << Narrow(texts[38]);
    std::vector<testhost::Event> posts = r.Posts();
    ASSERT_EQ(posts.size(), 2u);
    EXPECT_EQ(posts[0].afterNotify, 37) << "right after the big shell's last member";
    EXPECT_EQ(posts[1].afterNotify, 38);
}

TEST_F(Shells, AShellThatNeverStopsListingIsCutAtTenThousand) {
    std::wstring shell = Add(L"shell_never_ends", L"A_Endless.dll");
    std::wstring echo = Add(L"effect_with_editor", L"B_Echo.dll");
    ASSERT_FALSE(RunSievo(key.Args() + L"/Log", 240000).timedOut);
    EXPECT_TRUE(
        Contains(ReadLogLines(MainLogPath()), L"SIEVO: Shell lists more than 10000 plug-ins: the rest is ignored"));
    EXPECT_EQ(key.Show(TestKey::Record(shell), L"numClasses isBad"), L"numClasses=10000 isBad=0");
    EXPECT_EQ(key.Show(TestKey::Record(echo), L"isVst"), L"isVst=1") << "the scan went on";
}

}  // namespace
