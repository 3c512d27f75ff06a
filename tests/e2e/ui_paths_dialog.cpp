// The scan paths dialog (/ScanProps): folders added and removed go to the
// registry at once, OK saves the rescan options, Cancel leaves the program,
// Escape and the close message do nothing, and the dialogs it opens keep its
// OK button disabled while they are up.
#include <shlobj.h>

#include "ui_driver.h"

using namespace ui_test;

namespace {

constexpr int kList = 1002, kAdd = 1003, kRemove = 1004, kDefaults = 60, kReset = 62, kCancel = 63, kOk = 64;
constexpr int kRescanFailed = 1021, kRescanExisting = 1026, kResetNo = 1026;

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

}  // namespace
