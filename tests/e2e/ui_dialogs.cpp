// The program's windows driven the way a user would: the scan paths dialog,
// the properties dialog of one plug-in and of the folder defaults, the
// progress window, and the language they come up in. Each step waits for a
// window by its caption within a time limit; a process still running at the
// end is ended.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <string>

#include "TestSupport.h"

using namespace sievo_test;

namespace {

constexpr wchar_t kPathsCaption[] = L"Tarnwell VST Scan Paths";
constexpr wchar_t kPropsCaption[] = L"VST Plug-In Properties";
constexpr wchar_t kDetailsCaption[] = L"Tarnwell VST Scan: VST Plug-in Properties";
constexpr wchar_t kResetCaption[] = L"Tarnwell VST Scan:  Reset VST Settings";
constexpr wchar_t kNoPathsCaption[] = L"Tarnwell VST Scan Error";
constexpr wchar_t kProgressCaption[] = L"Scanning...";
// The paths dialog's controls (its Cancel leaves the program), then the properties dialog's.
constexpr int kList = 1002, kAdd = 1003, kRemove = 1004, kDefaults = 60, kReset = 62, kCancel = 63, kOk = 64;
constexpr int kRescanFailed = 1021, kRescanExisting = 1026, kResetNo = 1026;
constexpr int kName = 1003, kDetails = 1004, kEnable = 1007, kTempo = 1008, kSynth = 1009, kStereo = 1010, kNrpn = 1011,
              kDelay = 1012, kMono = 1013, kSuspendStop = 1015, kInputs = 1044, kServer = 1045;

// A check box or radio button clicked synchronously: its dialog has handled
// the click when this returns.
void Toggle(HWND dialog, int id) {
    SendMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}
bool IsChecked(HWND dialog, int id) {
    return SendMessageW(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}
bool IsEnabled(HWND dialog, int id) {
    return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE;
}
void Type(HWND dialog, int id, const std::wstring& text) {
    SendMessageW(GetDlgItem(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

// A record key under Inventory with the values the dialogs read.
struct SeedRecord {
    std::wstring path = L"C:\\Plugins\\Echo.dll";  // the key name is made from it
    std::wstring keySuffix;                        // "*<id> <name>" for a shell's sub-plug-in
    std::wstring name = L"Echo";
    std::wstring clsid = L"{5EED0001-0000-4000-8000-000000000001}";
    DWORD isX64 = 1, numInputs = 2, maxUsedInputs = 2, numOutputs = 2, uniqueId = 0x41424344, vstVersion = 2400;
    DWORD isSynth = 0, wantEvents = 0, isShell = 0, isShellRoot = 0;
    DWORD gantryServerId = 0;  // as stored: index + 1
};

std::wstring RecordSub(const SeedRecord& r) {
    return TestKey::Record(r.path) + r.keySuffix;
}

void Seed(const TestKey& key, const SeedRecord& r) {
    std::wstring sub = RecordSub(r);
    key.SetText(L"FullName", r.name, sub.c_str());
    key.SetText(L"FullPath", r.path, sub.c_str());
    key.SetText(L"clsidPlug", r.clsid, sub.c_str());
    const wchar_t* names[] = {L"isVst",    L"isX64",       L"numInputs",      L"numOutputs",    L"maxUsedInputs",
                              L"uniqueId", L"vstVersion",  L"isSynth",        L"wantEvents",    L"generateEvents",
                              L"isShell",  L"isShellRoot", L"registerAsPlug", L"gantryServerId"};
    const DWORD values[] = {1,          r.isX64,       r.numInputs, r.numOutputs,    r.maxUsedInputs,
                            r.uniqueId, r.vstVersion,  r.isSynth,   r.wantEvents,    0,
                            r.isShell,  r.isShellRoot, 1,           r.gantryServerId};
    for (size_t i = 0; i < ARRAYSIZE(values); ++i) key.SetDword(names[i], values[i], sub.c_str());
}

// Opens `args`, waits for the dialog `caption`, lets `act` work on it, then
// clicks `button` and expects the program to end cleanly.
template <class Act>
void InDialog(const std::wstring& args, const wchar_t* caption, Act&& act, int button) {
    Sievo sievo(args);
    HWND dialog = sievo.Wait(caption);
    ASSERT_NE(dialog, nullptr) << "no dialog " << Narrow(caption);
    act(sievo, dialog);
    ClickButton(dialog, button);
    EXPECT_EQ(sievo.WaitExit(), 0u);
}

// Folders are stored and listed in lower case.
std::wstring Lower(std::wstring path) {
    _wcslwr(&path[0]);
    return path;
}

// The rows as one lower-case text, "a|b".
std::wstring Rows(HWND dialog) {
    std::wstring rows;
    int count = static_cast<int>(SendDlgItemMessageW(dialog, kList, LB_GETCOUNT, 0, 0));
    for (int row = 0; row < count; ++row) {
        wchar_t text[1024] = {};
        SendDlgItemMessageW(dialog, kList, LB_GETTEXT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(text));
        rows += (row ? L"|" : L"") + Lower(text);
    }
    return rows;
}

// The "Paths" value names, sorted, lower case, "a|b".
std::wstring PathValues(const TestKey& key) {
    std::wstring joined;
    for (const auto& value : key.Values(L"Paths")) joined += (joined.empty() ? L"" : L"|") + Lower(value.first);
    return joined;
}

template <typename Done>
bool Within(Done done) {
    for (int i = 0; i < 300 && !done(); ++i) Sleep(10);
    return done();
}

// Opens the window `open` brings up, checks that OK is disabled while it is
// up, answers it with `button` and waits until OK is back.
void AnswerChild(const Sievo& sievo, HWND dialog, int open, const wchar_t* caption, int button) {
    ClickButton(dialog, open);
    HWND child = sievo.Wait(caption);
    ASSERT_NE(child, nullptr) << "nothing opened by button " << open;
    EXPECT_FALSE(IsEnabled(dialog, kOk));
    ClickButton(child, button);
    ASSERT_TRUE(sievo.WaitGone(child));
    EXPECT_TRUE(Within([&] { return IsEnabled(dialog, kOk); }));
}

// The scan paths dialog (/ScanProps): folders added and removed go to the
// registry at once, OK saves the rescan options, Cancel leaves the program,
// Escape and the close message do nothing, and the dialogs it opens keep its
// OK button disabled while they are up.
class PathsDialog : public ::testing::Test {
protected:
    std::wstring Args() const { return key.Args() + L"/ScanProps"; }
    std::wstring Folder(const std::wstring& relative) const { return Lower(dir.Path() + L"\\" + relative); }
    TestKey key;
    TempDir dir;
};

// Reset: "No" keeps records and counters, "Yes" removes both; the dialog
// stays. The folder defaults write their own key.
TEST_F(PathsDialog, OkSavesTheOptionsResetAndDefaultsActAtOnceEscapeAndCloseDoNothing) {
    key.AddScanPath(dir.Make(L"B"));
    key.AddScanPath(dir.Make(L"A"));
    key.SetDword(L"rescanFailed", 1);
    key.SetDword(L"noPrefix", 0);
    Seed(key, SeedRecord{});
    key.SetDword(L"PluginsFound", 2, L"Inventory");
    InDialog(
        Args(), kPathsCaption,
        [&](Sievo& sievo, HWND dialog) {
            EXPECT_EQ(key.Dword(L"SievoGUIVisible"), 1u) << "the host is told a dialog is up";
            EXPECT_EQ(Rows(dialog), Folder(L"a") + L"|" + Folder(L"b")) << "sorted";
            AnswerChild(sievo, dialog, kReset, kResetCaption, kResetNo);
            EXPECT_EQ(key.InventoryKeys().size(), 1u);
            AnswerChild(sievo, dialog, kReset, kResetCaption, kOk);
            EXPECT_TRUE(Within([&] { return !key.Exists(L"Inventory"); })) << "records and counters are gone";
            AnswerChild(sievo, dialog, kDefaults, kPropsCaption, kOk);
            EXPECT_EQ(key.Show(L"Defaults", L"registerAsPlug"), L"registerAsPlug=1");
            EXPECT_TRUE(IsChecked(dialog, kRescanFailed));
            EXPECT_FALSE(IsChecked(dialog, kRescanExisting));
            Toggle(dialog, kRescanFailed);
            Toggle(dialog, kRescanExisting);
        },
        kOk);
    EXPECT_EQ(key.Show(L"", L"rescanFailed rescanExisting noPrefix SievoGUIVisible"),
              L"rescanFailed=0 rescanExisting=1 noPrefix=0 SievoGUIVisible=0");
    InDialog(
        Args(), kPathsCaption,
        [&](Sievo& sievo, HWND dialog) {
            EXPECT_TRUE(IsChecked(dialog, kRescanExisting)) << "shows what was saved";
            EXPECT_FALSE(GetWindowLongW(dialog, GWL_STYLE) & WS_SYSMENU) << "no close box";
            HWND focus = GetDlgItem(dialog, kList);
            PostMessageW(focus, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
            PostMessageW(focus, WM_KEYUP, VK_ESCAPE, 0xC0010001);
            PostMessageW(dialog, WM_CLOSE, 0, 0);
            Sleep(700);
            EXPECT_TRUE(sievo.Running() && IsWindowVisible(dialog)) << "Escape or WM_CLOSE ended the dialog";
            Toggle(dialog, kRescanExisting);
        },
        kCancel);
    EXPECT_EQ(key.Show(L"", L"rescanExisting SievoGUIVisible"), L"rescanExisting=1 SievoGUIVisible=0");
}

// Rows and "Paths" values stay in step, a removal is stored at once and Cancel
// brings nothing back.
TEST_F(PathsDialog, RemoveDeletesTheSelectedRowAndItsValueAtOnce) {
    key.AddScanPath(dir.Make(L"a"));
    key.AddScanPath(dir.Make(L"b"));
    key.AddScanPath(dir.Path() + L"\\c");  // need not exist
    InDialog(
        Args(), kPathsCaption,
        [&](Sievo&, HWND dialog) {
            ClickButton(dialog, kRemove);  // nothing selected: nothing happens
            Sleep(300);
            EXPECT_EQ(Rows(dialog), Folder(L"a") + L"|" + Folder(L"b") + L"|" + Folder(L"c"));
            SendDlgItemMessageW(dialog, kList, LB_SETCURSEL, 1, 0);
            ClickButton(dialog, kRemove);
            EXPECT_TRUE(Within([&] { return Rows(dialog) == Folder(L"a") + L"|" + Folder(L"c"); }));
            EXPECT_EQ(PathValues(key), Folder(L"a") + L"|" + Folder(L"c")) << "stored before the dialog ends";
            SendDlgItemMessageW(dialog, kList, LB_SETCURSEL, 1, 0);
            ClickButton(dialog, kRemove);
            EXPECT_TRUE(Within([&] { return Rows(dialog) == Folder(L"a"); }));
        },
        kCancel);
    EXPECT_EQ(PathValues(key), Folder(L"a"));
}

// Without folders OK brings a message and the dialog back; the folder
// browser opens on the desktop, accepting it adds that folder once, Cancel
// adds nothing, and with a folder OK ends the dialog.
TEST_F(PathsDialog, WithoutFoldersOkAsksForOneAndAddTakesTheBrowsedFolderOnce) {
    Sievo sievo(Args());
    HWND dialog = sievo.Wait(kPathsCaption);
    ASSERT_NE(dialog, nullptr);
    ASSERT_EQ(Rows(dialog), L"");
    ClickButton(dialog, kOk);
    HWND message = sievo.Wait(kNoPathsCaption);
    ASSERT_NE(message, nullptr);
    EXPECT_TRUE(FindWindowExW(message, nullptr, L"Static",
                              L"Couldn't find any VST plug-in paths.  Tarnwell VST Scan needs at least one "
                              L"plug-in path in order to continue.") != nullptr);
    ClickButton(message, IDOK);
    ASSERT_TRUE(sievo.WaitGone(message));
    dialog = sievo.Wait(kPathsCaption);
    ASSERT_NE(dialog, nullptr) << "the dialog is shown again";
    wchar_t path[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, SHGFP_TYPE_CURRENT, path);
    const std::wstring desktop = Lower(path);
    for (int button : {IDOK, IDOK, IDCANCEL}) {
        AnswerChild(sievo, dialog, kAdd, L"Browse for Folder", button);
        EXPECT_TRUE(Within([&] { return Rows(dialog) == desktop; })) << Narrow(Rows(dialog));
    }
    ClickButton(dialog, kOk);
    EXPECT_EQ(sievo.WaitExit(), 0u) << "a folder exists now: no further message";
    EXPECT_EQ(PathValues(key), desktop);
}

// In background mode no dialog runs and nothing is saved. Several
// configuration flags in one command line run their dialogs in order:
// paths, the plug-in's properties, the folder defaults, then the reset, and
// no scan after them.
TEST_F(PathsDialog, BackgroundShowsNothingAndSeveralFlagsRunTheirDialogsInOrder) {
    key.AddScanPath(dir.Path());
    EXPECT_EQ(RunSievo(Args() + L"/Background", 20000).exitCode, 0u);
    EXPECT_EQ(key.Show(L"", L"SievoGUIVisible rescanFailed"), L"SievoGUIVisible=0 rescanFailed=-");

    Seed(key, SeedRecord{});
    Sievo sievo(key.Args() + L"/DoReset/FolderDefaults/VstProps:" + SeedRecord{}.clsid + L"/ScanProps");
    HWND paths = sievo.Wait(kPathsCaption);
    ASSERT_NE(paths, nullptr);
    EXPECT_FALSE(FindProcessWindow(sievo.Pid(), kPropsCaption) || FindProcessWindow(sievo.Pid(), kResetCaption));
    ClickButton(paths, kOk);
    for (bool plugin : {true, false}) {  // the plug-in's properties, then the folder defaults
        HWND props = sievo.Wait(kPropsCaption);
        ASSERT_NE(props, nullptr);
        EXPECT_EQ(IsEnabled(props, 1004), plugin);
        EXPECT_EQ(ControlText(props, 1003), plugin ? L"Echo" : L"") << "the plug-in's name, then none";
        EXPECT_EQ(key.Dword(L"SievoGUIVisible"), 1u);
        ClickButton(props, 2);
        ASSERT_TRUE(sievo.WaitGone(props));
    }
    HWND confirm = sievo.Wait(kResetCaption);
    ASSERT_NE(confirm, nullptr);
    ClickButton(confirm, kOk);
    EXPECT_EQ(sievo.WaitExit(), 0u);
    EXPECT_FALSE(key.Exists(L"Inventory"));
    EXPECT_EQ(key.Dword(L"SievoGUIVisible"), 0u);
}

// The properties dialog of one plug-in (/VstProps:{clsid}) and of the folder
// defaults (/FolderDefaults): the rules between its controls, what OK and
// Cancel leave in the registry, and which record a class id opens.
class PropertiesDialog : public ::testing::Test {
protected:
    // Saving a record gives it the class ids made from its own data, so the
    // host asks for the one stored now.
    std::wstring Args() const { return key.Args() + L"/VstProps:" + key.Text(L"clsidPlug", RecordSub(record).c_str()); }

    template <class Act>
    void Edit(Act&& act, int button = kOk) {
        InDialog(
            Args(), kPropsCaption, [&](Sievo&, HWND dialog) { act(dialog); }, button);
    }
    DWORD Stored(const wchar_t* name) const { return key.Dword(name, RecordSub(record).c_str()); }
    std::wstring Show(const wchar_t* names) const { return key.Show(RecordSub(record), names); }

    TestKey key;
    SeedRecord record;
};

// Tempo-based effect and synth exclude each other (unchecking one leaves
// the other alone); forcing stereo greys out mono, and the mono box keeps
// its check mark.
TEST_F(PropertiesDialog, ControlsThatExcludeEachOther) {
    Seed(key, record);
    key.SetDword(L"forceMono", 1, RecordSub(record).c_str());
    // Each step toggles one box, then reads (tempo, synth, mono enabled).
    const struct {
        int toggle;
        bool tempo, synth, monoEnabled;
    } steps[] = {{kSynth, false, true, true},  {kTempo, true, false, true},  {kSynth, false, true, true},
                 {kSynth, false, false, true}, {kSynth, false, true, true},  {kStereo, false, true, false},
                 {kStereo, false, true, true}, {kStereo, false, true, false}};
    Edit([&](HWND dialog) {
        EXPECT_FALSE(IsChecked(dialog, kTempo) || IsChecked(dialog, kSynth));
        for (const auto& step : steps) {
            Toggle(dialog, step.toggle);
            EXPECT_EQ(IsChecked(dialog, kTempo), step.tempo);
            EXPECT_EQ(IsChecked(dialog, kSynth), step.synth);
            EXPECT_EQ(IsEnabled(dialog, kMono), step.monoEnabled);
            EXPECT_TRUE(IsChecked(dialog, kMono));
        }
    });
    EXPECT_EQ(Show(L"registerAsSynth registerAsTempoBasedEffect forceStereo forceMono"),
              L"registerAsSynth=1 registerAsTempoBasedEffect=0 forceStereo=1 forceMono=1");
}

// Cancel saves nothing; OK saves the name and the boxes, and only a real
// change stamps the inventory and writes the configuration run's counters.
TEST_F(PropertiesDialog, OkSavesWhatChangedCancelNothing) {
    Seed(key, record);
    auto change = [](HWND dialog) {
        EXPECT_EQ(ControlText(dialog, kName), L"Echo");
        EXPECT_TRUE(IsChecked(dialog, kEnable));
        Type(dialog, kName, L"Echo Renamed");
        for (int box : {kEnable, kNrpn, kDelay, kSuspendStop}) Toggle(dialog, box);
    };
    Edit(change, IDCANCEL);
    EXPECT_EQ(Show(L"FullName registerAsPlug nrpnPassThrough"), L"FullName=Echo registerAsPlug=1 nrpnPassThrough=-");
    EXPECT_FALSE(key.Values(L"Inventory").count(L"lastUpdateTime"));

    Edit([](HWND) {});  // the first save stores the class ids made from the record
    RegDeleteKeyValueW(HKEY_CURRENT_USER, key.Sub(L"Inventory").c_str(), L"lastUpdateTime");
    key.SetDword(L"PluginsFound", 5, L"Inventory");
    Edit([](HWND) {});
    EXPECT_FALSE(key.Values(L"Inventory").count(L"lastUpdateTime")) << "nothing changed";
    EXPECT_EQ(key.Dword(L"PluginsFound", L"Inventory"), 5u);
    Edit(change);
    EXPECT_EQ(Show(L"FullName registerAsPlug nrpnPassThrough delayCompensation forceSuspendOnStop forceSuspendOnPlay"),
              L"FullName=Echo Renamed registerAsPlug=0 nrpnPassThrough=1 delayCompensation=1 forceSuspendOnStop=1 "
              L"forceSuspendOnPlay=0");
    EXPECT_TRUE(key.Values(L"Inventory").count(L"lastUpdateTime"));
    EXPECT_EQ(key.Dword(L"PluginsFound", L"Inventory"), 0u);
}

// Typed numbers out of range keep the stored one: used inputs within the
// inputs (at least 2 when there are more), the server within its count.
TEST_F(PropertiesDialog, NumbersAcceptOnlyTheAllowedRange) {
    const struct {
        int control;
        DWORD limit, before;  // inputs or "GantryServerCount"; "gantryServerId" as stored (index + 1)
        const wchar_t* typed;
        DWORD after;
    } cases[] = {
        {kInputs, 8, 8, L"1", 8},   {kInputs, 8, 8, L"9", 8}, {kInputs, 8, 8, L"2", 2}, {kInputs, 8, 2, L"8", 8},
        {kInputs, 1, 0, L"1", 1},   {kInputs, 1, 1, L"0", 1}, {kInputs, 0, 3, L"0", 0}, {kInputs, 0, 3, L"1", 3},
        {kServer, 4, 2, L"0", 0},   {kServer, 4, 0, L"4", 4}, {kServer, 4, 2, L"5", 2}, {kServer, 40, 2, L"32", 32},
        {kServer, 40, 2, L"33", 2},
    };
    for (const auto& c : cases) {
        const bool inputs = c.control == kInputs;
        key.SetDword(L"GantryServerCount", inputs ? 4 : c.limit);
        record.numInputs = inputs ? c.limit : 2;
        record.maxUsedInputs = inputs ? c.before : 2;
        record.gantryServerId = inputs ? 0 : c.before;
        Seed(key, record);
        Edit([&](HWND dialog) {
            EXPECT_TRUE(inputs || ControlText(dialog, kServer) == std::to_wstring(c.before)) << "shows what is stored";
            Type(dialog, c.control, c.typed);
        });
        EXPECT_EQ(Stored(inputs ? L"maxUsedInputs" : L"gantryServerId"), c.after)
            << c.control << ": limit " << c.limit << ", typed " << Narrow(c.typed) << ", was " << c.before;
    }
}

// Name, path, version (a version of 1 is left unshown), unique id, outputs,
// synth, wants events, makes events.
TEST_F(PropertiesDialog, DetailsShowWhatTheScanFound) {
    record.uniqueId = static_cast<DWORD>(-5);
    record.numOutputs = 6;
    record.isSynth = 1;
    record.wantEvents = 1;
    for (DWORD version : {2400, 1}) {
        record.vstVersion = version;
        Seed(key, record);
        InDialog(
            Args(), kPropsCaption,
            [&](Sievo& sievo, HWND props) {
                ClickButton(props, kDetails);
                HWND details = sievo.Wait(kDetailsCaption);
                ASSERT_NE(details, nullptr);
                std::wstring shown;
                for (int id : {1005, 1020, 1015, 1014, 1021, 1018, 1017, 1019})
                    shown += (shown.empty() ? L"" : L"|") + ControlText(details, id);
                EXPECT_EQ(shown, L"Echo|C:\\Plugins\\Echo.dll|" + std::wstring(version == 1 ? L"..." : L"2400") +
                                     L"|-5|6|Yes|Yes|No");
                ClickButton(details, kOk);
                EXPECT_TRUE(sievo.WaitGone(details));
                EXPECT_TRUE(IsWindowVisible(props));
            },
            IDCANCEL);
    }
}

// A shell's sub-plug-in shares its shell's FullPath; its options belong to
// its own key, whatever name the user gives it.
TEST_F(PropertiesDialog, ShellSubPluginIsSavedToItsOwnKey) {
    SeedRecord shell = record;
    shell.name = L"Shell";
    shell.clsid = L"{5EED0001-0000-4000-8000-0000000000FF}";
    shell.isShell = shell.isShellRoot = 1;
    Seed(key, shell);
    record.keySuffix = L"*1234 Sub One";
    record.name = L"Sub One";
    record.uniqueId = 1234;
    record.isShell = 1;
    Seed(key, record);
    Edit([](HWND dialog) {
        EXPECT_EQ(ControlText(dialog, kName), L"Sub One");
        Type(dialog, kName, L"Sub One Renamed");
        Toggle(dialog, kStereo);
    });
    // Renamed, it is still found under the key the scan gave it.
    Edit([](HWND dialog) { Toggle(dialog, kNrpn); });
    EXPECT_EQ(Show(L"forceStereo nrpnPassThrough FullName"),
              L"forceStereo=1 nrpnPassThrough=1 FullName=Sub One Renamed");
    EXPECT_EQ(key.Show(RecordSub(shell), L"forceStereo FullName"), L"forceStereo=- FullName=Shell");
    EXPECT_EQ(key.InventoryKeys().size(), 2u) << "no new key";
}

// Plug-in-only controls are disabled; OK writes the Defaults key (not the
// inventory), and the next opening starts from it, stereo greying out mono.
TEST(FolderDefaults, StartValuesAndWhatOkWrites) {
    TestKey key;
    const std::wstring args = key.Args() + L"/FolderDefaults";
    InDialog(
        args, kPropsCaption,
        [](Sievo&, HWND dialog) {
            for (int id : {kDetails, kName, kInputs, kSynth}) EXPECT_FALSE(IsEnabled(dialog, id)) << id;
            EXPECT_TRUE(IsEnabled(dialog, kServer) && IsEnabled(dialog, kTempo));
            EXPECT_TRUE(IsChecked(dialog, kEnable) && IsChecked(dialog, kDelay) && IsChecked(dialog, kMono));
            EXPECT_FALSE(IsChecked(dialog, kStereo));
            EXPECT_EQ(ControlText(dialog, kServer), L"0");
            Toggle(dialog, kStereo);
            Toggle(dialog, kTempo);
        },
        kOk);
    EXPECT_EQ(key.Show(L"Defaults", L"forceStereo registerAsTempoBasedEffect registerAsPlug forceMono"),
              L"forceStereo=1 registerAsTempoBasedEffect=1 registerAsPlug=1 forceMono=1");
    EXPECT_FALSE(key.Values(L"Inventory").count(L"lastUpdateTime"));
    InDialog(
        args, kPropsCaption,
        [](Sievo&, HWND dialog) { EXPECT_FALSE(!IsChecked(dialog, kStereo) || IsEnabled(dialog, kMono)); }, IDCANCEL);
}

constexpr wchar_t kEcho[] = L"{5EED0002-0000-4000-8000-000000000001}";
constexpr wchar_t kOther[] = L"{5EED0002-0000-4000-8000-000000000002}";
constexpr wchar_t kHashed[] = L"{5EED0002-0000-4000-8000-0000000000AA}";

struct Seeded {
    const wchar_t* path;  // keys enumerate in name order
    const wchar_t* name;
    const wchar_t* clsid;
    DWORD native;
};

TEST(SelectionList, WhichRecordTheClassIdOpens) {
    const struct {
        const char* what;
        std::vector<Seeded> records;
        const wchar_t* asked;
        int opened;  // index into records; -1: no dialog, the run ends quietly
    } cases[] = {
        {"empty inventory", {}, kEcho, -1},
        {"no match", {{L"C:\\P\\Echo.dll", L"Echo", kEcho, 1}}, kOther, -1},
        {"native first", {{L"C:\\A\\E.dll", L"E 32", kEcho, 0}, {L"C:\\B\\E.dll", L"E 64", kEcho, 1}}, kEcho, 1},
        {"else the last", {{L"C:\\A\\E.dll", L"E one", kEcho, 0}, {L"C:\\B\\E.dll", L"E two", kEcho, 0}}, kEcho, 1},
        {"hashed class id", {{L"C:\\P\\Echo.dll", L"Echo", kOther, 1}}, kHashed, 0},
        // One display name for two plug-ins: the name is found at the first
        // item, which is kept unless a later one is native of the class.
        {"same name, bridged", {{L"C:\\A\\T.dll", L"Twin", kOther, 0}, {L"C:\\B\\T.dll", L"Twin", kEcho, 0}}, kEcho, 0},
        {"same name, native", {{L"C:\\A\\T.dll", L"Twin", kOther, 0}, {L"C:\\B\\T.dll", L"Twin", kEcho, 1}}, kEcho, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TestKey key;
        std::vector<SeedRecord> seeded;
        for (const Seeded& s : c.records) {
            SeedRecord r;
            r.path = s.path;
            r.name = s.name;
            r.clsid = s.clsid;
            r.isX64 = s.native;
            Seed(key, r);
            key.SetText(L"clsidPlugMD5", kHashed, RecordSub(r).c_str());
            seeded.push_back(r);
        }
        if (c.opened < 0) {
            EXPECT_EQ(RunSievo(key.Args() + L"/VstProps:" + c.asked, 20000).exitCode, 0u);
            EXPECT_FALSE(key.Values(L"Inventory").count(L"lastUpdateTime"));
            continue;
        }
        // "Do not intercept NRPNs" marks the key the dialog edited.
        InDialog(
            key.Args() + L"/VstProps:" + c.asked, kPropsCaption,
            [&](Sievo&, HWND dialog) {
                EXPECT_EQ(ControlText(dialog, kName), c.records[c.opened].name);
                Toggle(dialog, kNrpn);
            },
            kOk);
        for (size_t i = 0; i < seeded.size(); ++i)
            EXPECT_EQ(key.Dword(L"nrpnPassThrough", RecordSub(seeded[i]).c_str()) == 1, static_cast<int>(i) == c.opened)
                << i;
    }
}

// Cancel in the progress window of a visible scan stops it at the next
// module; the module being examined is finished, and the records of modules
// the scan never reached stay as they were.
TEST(ProgressWindow, CancelStopsAtTheNextModuleAndKeepsUnreachedRecords) {
    constexpr int kModules = 60;
    TestKey key;
    TempDir dir;
    std::vector<SeedRecord> modules;
    for (int i = 0; i < kModules; ++i) {
        SeedRecord r;
        r.path = dir.Copy(PluginPath(L"load_recorder"), L"modules\\m" + std::to_wstring(i) + L".dll");
        r.name = L"Seeded";
        r.clsid = L"{5EED0004-0000-4000-8000-000000000001}";
        Seed(key, r);
        modules.push_back(r);
    }
    key.AddScanPath(dir.Path() + L"\\modules");
    key.SetDword(L"rescanExisting", 1);  // every module is examined again
    Sievo sievo(key.Args());
    HWND progress = sievo.Wait(kProgressCaption);
    ASSERT_NE(progress, nullptr) << "no progress window";
    ClickButton(progress, IDCANCEL);
    ClickButton(progress, IDCANCEL);  // a second press changes nothing
    EXPECT_EQ(sievo.WaitExit(120000), 0u) << "the run completes";

    int reached = 0;
    for (const SeedRecord& r : modules) {
        // load_recorder leaves "<module>.loads" beside itself when loaded:
        // such a module is finished and written, any other one untouched.
        const bool loaded = GetFileAttributesW((r.path + L".loads").c_str()) != INVALID_FILE_ATTRIBUTES;
        reached += loaded;
        EXPECT_EQ(key.Show(RecordSub(r), L"FullName isBad"),
                  loaded ? L"FullName=Load Recorder isBad=0" : L"FullName=Seeded isBad=-")
            << Narrow(r.path);
    }
    EXPECT_LT(reached, kModules) << "Cancel did not stop the scan";
    EXPECT_EQ(key.InventoryKeys().size(), static_cast<size_t>(kModules)) << "no record was swept";
    EXPECT_EQ(key.Dword(L"SievoGUIVisible"), 0u);
}

// "Language" under HKLM\Software\Tarnwell Music Software chooses the
// dialogs' language, in any letter case.
constexpr wchar_t kVendorKey[] = L"Software\\Tarnwell Music Software";
constexpr wchar_t kGermanPaths[] = L"Tarnwell VST-Scan: Plug-in-Ordner";

// Sets "Language" (null: removes it) for its lifetime; the test prefix has none.
struct LanguageValue {
    explicit LanguageValue(const wchar_t* value) {
        if (value)
            RegSetKeyValueW(HKEY_LOCAL_MACHINE, kVendorKey, L"Language", REG_SZ, value,
                            static_cast<DWORD>((wcslen(value) + 1) * sizeof(wchar_t)));
    }
    ~LanguageValue() { RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kVendorKey, L"Language"); }
};

// Without a known "Language" value the dialogs follow the system's UI
// language when they exist in it, else English; a known value wins over the
// system. CTest runs this under several locales (Wine takes the system's
// language from LC_ALL when it starts, and its children inherit it).
TEST(Language, WithoutAKnownValueTheSystemLanguageChooses) {
    struct Texts {
        WORD primary;
        const wchar_t* caption;
        const wchar_t* reset;
    };
    const Texts texts[] = {
        {LANG_JAPANESE, L"Tarnwell VST スキャン パス", L"すべてリセット(&E)..."},
        {LANG_GERMAN, kGermanPaths, L"Alle &zurücksetzen..."},
        {LANG_CHINESE, L"Tarnwell VST 扫描路径", L"全部重置(&E)..."},
        {LANG_RUSSIAN, L"Сканер VST Tarnwell: папки", L"&Сбросить всё..."},
    };
    const LANGID system = GetUserDefaultUILanguage();
    Texts expected{LANG_ENGLISH, kPathsCaption, L"R&eset all..."};
    for (const Texts& t : texts)
        if (PRIMARYLANGID(system) == t.primary) expected = t;
    // The German case also brings up the no-folder message from the German
    // string table. The rows are the locales CTest runs this under.
    const std::pair<const wchar_t*, Texts> cases[] = {
        {nullptr, expected}, {L"Klingon", expected}, {L"gErMaN", texts[1]}};  // null: no "Language" value
    TestKey key;
    for (const auto& c : cases) {
        LanguageValue language(c.first);
        SCOPED_TRACE("system language 0x" + std::to_string(system) + ", Language " +
                     (c.first ? Narrow(c.first) : "absent"));
        Sievo sievo(key.Args() + L"/ScanProps");
        HWND dialog = sievo.Wait(c.second.caption);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(ControlText(dialog, kReset), c.second.reset);
        if (c.first && c.first == cases[2].first) {
            ClickButton(dialog, kOk);
            HWND message = sievo.Wait(L"Tarnwell VST-Scan – Fehler");
            ASSERT_NE(message, nullptr) << "the no-folder message in German";
            ClickButton(message, IDOK);
            ASSERT_TRUE(sievo.WaitGone(message));
            dialog = sievo.Wait(kGermanPaths);
        }
        ClickButton(dialog, kCancel);
        EXPECT_EQ(sievo.WaitExit(), 0u);
    }
}

}  // namespace
