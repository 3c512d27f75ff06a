// VST 2 shells across scans with the real program: every member gets a record
// of its own beside the shell's, an unchanged shell keeps its members without
// creating them again, a shell that now lists another number of members has
// them all replaced, a renamed member loses its old record, and a fault in
// the middle of the walk keeps what was already listed.
#include <gtest/gtest.h>

#include <algorithm>

#include "TestSupport.h"
#include "tools/testhost/TestHostClient.h"

using namespace sievo_test;

namespace {

constexpr int kEnable = kEnablePlugin;
constexpr int kDisable = kDisablePlugin;

// Moves a file's last-write time on, as an update of the plug-in would.
bool TouchLater(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    FILETIME written = {};
    bool ok = GetFileTime(file, nullptr, nullptr, &written);
    written.dwHighDateTime += 1;  // about seven minutes on
    ok = ok && SetFileTime(file, nullptr, nullptr, &written);
    CloseHandle(file);
    return ok;
}

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
    static std::wstring Record(const std::wstring& module) { return TestKey::Record(module); }

    // The members' key names without their owner: "*<id> <name>", sorted.
    std::vector<std::wstring> Members(const std::wstring& module) const {
        const std::wstring owner = TestKey::RecordKey(module) + L"*";
        std::vector<std::wstring> out;
        for (const std::wstring& name : key.InventoryKeys())
            if (name.size() > owner.size() && _wcsnicmp(name.c_str(), owner.c_str(), owner.size()) == 0)
                out.push_back(name.substr(owner.size() - 1));
        std::sort(out.begin(), out.end());
        return out;
    }
    DWORD Dword(const std::wstring& record, const wchar_t* name) const { return key.Dword(name, record.c_str()); }
    std::wstring Counters() const { return key.Show(L"Inventory", L"PluginsFound PluginsScanned PluginsDeleted"); }

    void Scan() {
        RunResult r = RunSievo(key.Args() + L"/Log", 120000);
        ASSERT_FALSE(r.timedOut);
        ASSERT_EQ(r.exitCode, 0u);
    }
    // A visible scan that answers every load-error dialog with `button`;
    // returns how many it answered and the step label the last one showed.
    static int ScanAnswering(const TestKey& inventory, int button, std::wstring* step = nullptr) {
        LoadErrors seen;
        RunResult r = RunAnswering(inventory.Args() + L"/Log", button, &seen);
        EXPECT_FALSE(r.timedOut);
        EXPECT_EQ(r.exitCode, 0u);
        if (step) *step = seen.step;
        return seen.dialogs;
    }

    TestKey key;
    TempDir dir;
};

using Names = std::vector<std::wstring>;
using Lines = std::vector<std::wstring>;

TEST_F(Shells, AnUnchangedShellKeepsItsMembersWithoutCreatingThem) {
    const std::wstring shell = Add(L"shell_renames_member", L"Colours.dll");
    Scan();
    const std::wstring root = Record(shell);
    EXPECT_EQ(key.Show(root, L"isShell isShellRoot factoryFlags numClasses"),
              L"isShell=1 isShellRoot=1 factoryFlags=1 numClasses=3");
    ASSERT_EQ(Members(shell), (Names{L"*2001 Red", L"*2002 Green", L"*2003 Blue"}));
    const std::wstring green = root + L"*2002 Green";
    EXPECT_EQ(key.Show(green, L"FullName uniqueId isShell isShellRoot cxEditor cyEditor numParams"),
              L"FullName=Green uniqueId=2002 isShell=1 isShellRoot=0 cxEditor=0 cyEditor=0 numParams=2");
    // Each member has class ids of its own.
    const std::wstring red = root + L"*2001 Red";
    EXPECT_NE(key.Show(green, L"clsidPlug"), key.Show(red, L"clsidPlug"));
    EXPECT_NE(key.Show(green, L"clsidPlugMD5"), key.Show(red, L"clsidPlugMD5"));
    EXPECT_EQ(Counters(), L"PluginsFound=3 PluginsScanned=3 PluginsDeleted=0");
    EXPECT_EQ(ReadLogLines(shell + L".created"), (Lines{L"root", L"sub 2001", L"sub 2002", L"sub 2003"}));

    // A value that only a rewrite of the member's record would put back.
    key.SetDword(L"numParams", 77, green.c_str());
    DeleteLogs();
    Scan();
    // The shell is loaded and asked for its list again (its class list may
    // change at any load), but not one member is created.
    EXPECT_EQ(ReadLogLines(shell + L".created"), (Lines{L"root", L"sub 2001", L"sub 2002", L"sub 2003", L"root"}));
    EXPECT_EQ(Members(shell), (Names{L"*2001 Red", L"*2002 Green", L"*2003 Blue"}));
    EXPECT_EQ(Dword(green, L"numParams"), 77u) << "the member's record was left alone";
    EXPECT_EQ(Dword(root, L"numClasses"), 3u);
    EXPECT_EQ(Counters(), L"PluginsFound=3 PluginsScanned=0 PluginsDeleted=0");
    auto log = ReadLogLines(MainLogPath());
    EXPECT_TRUE(Contains(log, L"SIEVO: Enumerate VST Shell..."));
    EXPECT_FALSE(Contains(log, L"SIEVO: Scan VST Shell plugins..."));
}

TEST_F(Shells, AShellListingAnotherNumberOfMembersHasThemAllReplaced) {
    const std::wstring shell = Add(L"shell_count_changes", L"Ensemble.dll");
    const std::wstring root = Record(shell);
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
    EXPECT_EQ(Counters(), L"PluginsFound=2 PluginsScanned=2 PluginsDeleted=3");

    // More members.
    dir.Write(L"plugins\\Ensemble.dll.count", "5");
    Scan();
    EXPECT_EQ(Members(shell),
              (Names{L"*4001 Member 1", L"*4002 Member 2", L"*4003 Member 3", L"*4004 Member 4", L"*4005 Member 5"}));
    EXPECT_EQ(Dword(root, L"numClasses"), 5u);
    EXPECT_EQ(Counters(), L"PluginsFound=5 PluginsScanned=5 PluginsDeleted=2");

    // Uninstalled: the sweep takes the members with their shell.
    ASSERT_TRUE(DeleteFileW(shell.c_str()));
    Scan();
    EXPECT_TRUE(Members(shell).empty());
    EXPECT_FALSE(key.Exists(root.c_str()));
    EXPECT_EQ(key.Dword(L"PluginsDeleted", L"Inventory"), 5u) << "the members count, the shell module itself does not";
}

TEST_F(Shells, ARenamedMemberLosesItsOldRecord) {
    const std::wstring shell = Add(L"shell_renames_member", L"Colours.dll");
    Scan();
    ASSERT_EQ(Members(shell), (Names{L"*2001 Red", L"*2002 Green", L"*2003 Blue"}));

    // The member is renamed but the module file is the same as last time
    // with as many members: the shell's members are not looked at again.
    dir.Write(L"plugins\\Colours.dll.renamed", "");
    Scan();
    EXPECT_EQ(Members(shell), (Names{L"*2001 Red", L"*2002 Green", L"*2003 Blue"}));

    // An update of the file: the members are created again, the renamed one
    // gets its new record and its old one goes.
    ASSERT_TRUE(TouchLater(shell));
    Scan();
    EXPECT_EQ(Members(shell), (Names{L"*2001 Red", L"*2002 Green Renamed", L"*2003 Blue"}));
    EXPECT_EQ(key.Text(L"FullName", (Record(shell) + L"*2002 Green Renamed").c_str()), L"Green Renamed");
    EXPECT_EQ(Counters(), L"PluginsFound=3 PluginsScanned=3 PluginsDeleted=0")
        << "a rename removes nothing the host had";
}

TEST_F(Shells, AFaultWhileCreatingTheSecondMemberKeepsTheFirst) {
    const std::wstring shell = Add(L"shell_faults_on_second", L"Faulty.dll");
    const std::wstring root = Record(shell);

    // Enabled anyway: the result is the one member listed before the fault.
    std::wstring step;
    EXPECT_EQ(ScanAnswering(key, kEnable, &step), 1);
    EXPECT_EQ(step, L"Create shell sub-plugin");
    EXPECT_EQ(ReadLogLines(shell + L".created"), (Lines{L"root", L"sub 5001", L"sub 5002"}));
    // All three are stored as listed, but the fault cut the probe short
    // before it noted the file's time and size: the next scan takes the
    // module as changed, walks it again and the user is asked again.
    EXPECT_EQ(key.Show(root, L"isBad isShellRoot numClasses"), L"isBad=0 isShellRoot=1 numClasses=3");
    EXPECT_EQ(Members(shell), (Names{L"*5001 First"}));
    EXPECT_EQ(Dword(root + L"*5001 First", L"isBad"), 0u);
    EXPECT_EQ(key.Dword(L"PluginsScanned", L"Inventory"), 1u);
    EXPECT_EQ(ScanAnswering(key, kEnable), 1);
    EXPECT_EQ(ReadLogLines(shell + L".created"),
              (Lines{L"root", L"sub 5001", L"sub 5002", L"root", L"sub 5001", L"sub 5002"}));
    EXPECT_EQ(Members(shell), (Names{L"*5001 First"}));

    // Disabled by the user in another inventory: marked bad, nothing counted,
    // and skipped without a question from then on.
    TestKey other;
    other.AddScanPath(dir.Path() + L"\\plugins");
    other.SetDword(L"scanInSandbox", 0);
    EXPECT_EQ(ScanAnswering(other, kDisable), 1);
    EXPECT_EQ(other.Dword(L"isBad", root.c_str()), 1u);
    EXPECT_EQ(other.Dword(L"PluginsScanned", L"Inventory"), 0u);
    DeleteLogs();
    EXPECT_EQ(ScanAnswering(other, kDisable), 0);
    EXPECT_TRUE(Contains(ReadLogLines(MainLogPath()), L"SIEVO: Known bad VST plugin skipped"));
}

// In background mode a shell of more than ten members tells the host of the
// inventory change as soon as it is in, not only at the end.
TEST_F(Shells, ABigShellIsPostedToTheHostAtOnce) {
    Add(L"shell_thirty", L"Thirty.dll");
    testhost::Report r = testhost::RunTestHost(dir.Path(), L"", key.Args(), 120000, nullptr);
    ASSERT_TRUE(r.read);
    ASSERT_EQ(r.sievoExitCode, 0u);
    std::vector<std::wstring> texts = r.Texts();
    ASSERT_EQ(texts.size(), 35u);
    EXPECT_EQ(texts[2], L"Scanning Thirty.dll...");
    for (int i = 1; i <= 30; ++i) {
        wchar_t expected[40];
        swprintf(expected, 40, L"Scanning Voice %02d...", i);  // the listed name after its last backslash
        EXPECT_EQ(texts[2 + i], expected);
    }
    EXPECT_EQ(texts[33], L"Rebuilding plugin menus...");
    EXPECT_EQ(texts[34].rfind(L"Scan complete.\n30 plugins found", 0), 0u) << Narrow(texts[34]);
    std::vector<testhost::Event> posts = r.Posts();
    ASSERT_EQ(posts.size(), 2u);
    EXPECT_EQ(posts[0].afterNotify, 33) << "right after the last member";
    EXPECT_EQ(posts[1].afterNotify, 34);

    // A shell of three is only posted at the end.
    TestKey small;
    TempDir smallDir;
    small.AddScanPath(smallDir.Make(L"plugins"));
    small.SetDword(L"scanInSandbox", 0);
    smallDir.Copy(PluginPath(L"shell_renames_member"), L"plugins\\Colours.dll");
    testhost::Report s = testhost::RunTestHost(smallDir.Path(), L"", small.Args(), 120000, nullptr);
    ASSERT_TRUE(s.read);
    ASSERT_EQ(s.Texts().size(), 8u);
    ASSERT_EQ(s.Posts().size(), 1u);
    EXPECT_EQ(s.Posts()[0].afterNotify, 7);
}

TEST_F(Shells, AShellThatNeverStopsListingIsCutAtTenThousand) {
    std::wstring shell = Add(L"shell_never_ends", L"A_Endless.dll");
    std::wstring echo = Add(L"effect_with_editor", L"B_Echo.dll");
    RunResult r = RunSievo(key.Args() + L"/Log", 240000);
    ASSERT_FALSE(r.timedOut);
    auto log = ReadLogLines(MainLogPath());
    EXPECT_TRUE(Contains(log, L"SIEVO: Shell lists more than 10000 plug-ins: the rest is ignored"));
    EXPECT_EQ(key.Show(Record(shell), L"numClasses isBad"), L"numClasses=10000 isBad=0");
    EXPECT_EQ(Dword(Record(echo), L"isVst"), 1u) << "the scan went on";
}

}  // namespace
