// The scan paths dialog (/ScanProps): folders added and removed go to the
// registry at once, OK saves the rescan options, Cancel leaves the program,
// Escape and the close message do nothing, and the dialogs it opens keep its
// OK button disabled while they are up.
#include <shlobj.h>

#include "ui_driver.h"

using namespace ui_test;

namespace {

enum {
    kList = 1002,
    kAdd = 1003,
    kRemove = 1004,
    kDefaults = 60,
    kReset = 62,
    kCancel = 63,
    kRescanFailed = 1021,
    kRescanExisting = 1026,
    kOk = 64,
    kResetNo = 1026
};

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
    std::vector<std::wstring> names;
    for (const auto& value : key.Values(L"Paths")) names.push_back(value.first);
    std::wstring joined;
    for (const std::wstring& name : names) joined += (joined.empty() ? L"" : L"|") + Lower(name);
    return joined;
}

void Select(HWND dialog, int row) {
    SendDlgItemMessageW(dialog, kList, LB_SETCURSEL, static_cast<WPARAM>(row), 0);
}

template <typename Done>
bool Within(Done done) {
    for (int i = 0; i < 300 && !done(); ++i) Sleep(10);
    return done();
}

// The window of the process that is not the dialog: the folder browser.
HWND Browser(const Sievo& sievo, HWND dialog) {
    for (DWORD waited = 0; waited < kStepMs; waited += 20) {
        for (HWND window : ProcessWindows(sievo.Pid()))
            if (window != dialog) return window;
        Sleep(20);
    }
    return nullptr;
}

std::wstring DesktopFolder() {
    wchar_t path[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, SHGFP_TYPE_CURRENT, path);
    return Lower(path);
}

class PathsDialog : public ::testing::Test {
protected:
    std::wstring Args() const { return key.Args() + L"/ScanProps"; }
    std::wstring Folder(const std::wstring& relative) const { return Lower(dir.Path() + L"\\" + relative); }
    void SeedEcho(const wchar_t* clsid) const {
        SeedRecord echo;
        echo.path = L"C:\\Plugins\\Echo.dll";
        echo.name = L"Echo";
        echo.clsid = clsid;
        Seed(key, echo);
    }
    TestKey key;
    TempDir dir;
};

TEST_F(PathsDialog, OkSavesTheOptionsCancelSavesNothingEscapeAndCloseDoNothing) {
    key.AddScanPath(dir.Make(L"B"));
    key.AddScanPath(dir.Make(L"A"));
    key.SetDword(L"rescanFailed", 1);
    key.SetDword(L"noPrefix", 0);
    {
        Sievo sievo(Args());
        HWND dialog = sievo.Wait(kPathsCaption);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(key.Dword(L"SievoGUIVisible"), 1u) << "the host is told a dialog is up";
        EXPECT_EQ(Rows(dialog), Folder(L"a") + L"|" + Folder(L"b")) << "sorted";
        EXPECT_TRUE(IsChecked(dialog, kRescanFailed));
        EXPECT_FALSE(IsChecked(dialog, kRescanExisting));
        Toggle(dialog, kRescanFailed);
        Toggle(dialog, kRescanExisting);
        ClickButton(dialog, kOk);
        ASSERT_EQ(sievo.WaitExit(), 0u);
        EXPECT_EQ(key.Show(L"", L"rescanFailed rescanExisting noPrefix SievoGUIVisible"),
                  L"rescanFailed=0 rescanExisting=1 noPrefix=0 SievoGUIVisible=0");
    }
    key.SetDword(L"rescanExisting", 0);
    Sievo sievo(Args());
    HWND dialog = sievo.Wait(kPathsCaption);
    ASSERT_NE(dialog, nullptr);
    EXPECT_FALSE(GetWindowLongW(dialog, GWL_STYLE) & WS_SYSMENU) << "no close box";
    HWND focus = GetDlgItem(dialog, kList);
    PostMessageW(focus, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    PostMessageW(focus, WM_KEYUP, VK_ESCAPE, 0xC0010001);
    PostMessageW(dialog, WM_CLOSE, 0, 0);
    Sleep(700);
    EXPECT_TRUE(sievo.Running() && IsWindowVisible(dialog)) << "Escape or WM_CLOSE ended the dialog";
    Toggle(dialog, kRescanExisting);
    ClickButton(dialog, kCancel);
    EXPECT_EQ(sievo.WaitExit(), 0u);
    EXPECT_EQ(key.Show(L"", L"rescanExisting SievoGUIVisible"), L"rescanExisting=0 SievoGUIVisible=0");
}

// Rows and "Paths" values stay in step, a removal is stored at once and Cancel
// brings nothing back; the list scrolls sideways as far as its widest folder.
TEST_F(PathsDialog, RemoveDeletesTheSelectedRowAndItsValueAtOnce) {
    const std::wstring deep = L"c\\" + std::wstring(70, L'x') + L"\\" + std::wstring(70, L'y');
    key.AddScanPath(dir.Make(L"a"));
    key.AddScanPath(dir.Make(L"b"));
    key.AddScanPath(dir.Path() + L"\\" + deep);  // need not exist
    Sievo sievo(Args());
    HWND dialog = sievo.Wait(kPathsCaption);
    ASSERT_NE(dialog, nullptr);
    HWND list = GetDlgItem(dialog, kList);
    RECT client{};
    GetClientRect(list, &client);
    auto extent = [&] { return static_cast<LONG>(SendMessageW(list, LB_GETHORIZONTALEXTENT, 0, 0)); };
    // No font draws 8-point letters narrower than 3 pixels.
    EXPECT_GT(extent(), std::max<LONG>(client.right, static_cast<LONG>(deep.size()) * 3));
    const LONG wide = extent();

    ClickButton(dialog, kRemove);  // nothing selected: nothing happens
    Sleep(300);
    EXPECT_EQ(Rows(dialog), Folder(L"a") + L"|" + Folder(L"b") + L"|" + Folder(deep));
    Select(dialog, 1);
    ClickButton(dialog, kRemove);
    EXPECT_TRUE(Within([&] { return Rows(dialog) == Folder(L"a") + L"|" + Folder(deep); })) << Narrow(Rows(dialog));
    EXPECT_EQ(PathValues(key), Folder(L"a") + L"|" + Folder(deep)) << "stored before the dialog ends";
    Select(dialog, 1);
    ClickButton(dialog, kRemove);
    EXPECT_TRUE(Within([&] { return Rows(dialog) == Folder(L"a"); }));
    EXPECT_LT(extent(), wide - 70 * 3) << "still scrolls for the removed folder";
    ClickButton(dialog, kCancel);
    EXPECT_EQ(sievo.WaitExit(), 0u);
    EXPECT_EQ(PathValues(key), Folder(L"a"));
}

// The folder browser opens on the desktop; accepting it adds that folder
// once, Cancel adds nothing, and OK is disabled while the browser is up.
TEST_F(PathsDialog, AddTakesTheBrowsedFolderOnce) {
    key.AddScanPath(dir.Path());
    Sievo sievo(Args());
    HWND dialog = sievo.Wait(kPathsCaption);
    ASSERT_NE(dialog, nullptr);
    const std::wstring desktop = DesktopFolder();
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        ClickButton(dialog, kAdd);
        HWND browser = Browser(sievo, dialog);
        ASSERT_NE(browser, nullptr) << "no folder browser";
        EXPECT_FALSE(IsEnabled(dialog, kOk));
        ClickButton(browser, round < 2 ? IDOK : IDCANCEL);
        ASSERT_TRUE(sievo.WaitGone(browser));
        EXPECT_TRUE(Within([&] { return IsEnabled(dialog, kOk); }));
        Sleep(200);
        EXPECT_EQ(Rows(dialog), Lower(dir.Path()) + L"|" + desktop);
    }
    EXPECT_EQ(Lower(key.Text(desktop.c_str(), L"Paths")), desktop);
    Select(dialog, 1);
    ClickButton(dialog, kRemove);
    EXPECT_TRUE(Within([&] { return !HasValue(key, L"Paths", desktop.c_str()); }));
    ClickButton(dialog, kOk);
    EXPECT_EQ(sievo.WaitExit(), 0u);
}

// "No" keeps records and counters, "Yes" removes both; the dialog stays.
TEST_F(PathsDialog, ResetAllAnsweredNoKeepsAndYesRemovesTheInventory) {
    key.AddScanPath(dir.Path());
    SeedEcho(L"{5EED0003-0000-4000-8000-000000000001}");
    key.SetDword(L"PluginsFound", 2, L"Inventory");
    Sievo sievo(Args());
    HWND dialog = sievo.Wait(kPathsCaption);
    ASSERT_NE(dialog, nullptr);
    for (int answer : {kResetNo, kOk}) {
        ClickButton(dialog, kReset);
        HWND confirm = sievo.Wait(kResetCaption);
        ASSERT_NE(confirm, nullptr);
        EXPECT_FALSE(IsEnabled(dialog, kOk));
        ClickButton(confirm, answer);
        ASSERT_TRUE(sievo.WaitGone(confirm));
        EXPECT_TRUE(Within([&] { return IsEnabled(dialog, kOk); }));
    }
    EXPECT_TRUE(Within([&] { return !key.Exists(L"Inventory"); })) << "records and counters are gone";
    EXPECT_TRUE(IsWindowVisible(dialog));
    ClickButton(dialog, kOk);
    EXPECT_EQ(sievo.WaitExit(), 0u);

    // The same question from the command line, answered No.
    SeedEcho(L"{5EED0003-0000-4000-8000-000000000003}");
    Sievo reset(key.Args() + L"/DoReset");
    HWND confirm = reset.Wait(kResetCaption);
    ASSERT_NE(confirm, nullptr);
    ClickButton(confirm, kResetNo);
    EXPECT_EQ(reset.WaitExit(), 0u);
    EXPECT_EQ(key.InventoryKeys().size(), 1u);
}

TEST_F(PathsDialog, FolderDefaultsOpenTheDefaultsAndKeepOkDisabled) {
    key.AddScanPath(dir.Path());
    Sievo sievo(Args());
    HWND dialog = sievo.Wait(kPathsCaption);
    ASSERT_NE(dialog, nullptr);
    ClickButton(dialog, kDefaults);
    HWND props = sievo.Wait(kPropsCaption);
    ASSERT_NE(props, nullptr);
    EXPECT_FALSE(IsEnabled(dialog, kOk));
    EXPECT_FALSE(IsEnabled(props, 1004)) << "defaults mode: no details";
    Toggle(props, 1011);
    ClickButton(props, 64);
    ASSERT_TRUE(sievo.WaitGone(props));
    EXPECT_TRUE(Within([&] { return IsEnabled(dialog, kOk); }));
    EXPECT_EQ(key.Dword(L"nrpnPassThrough", L"Defaults"), 1u);
    ClickButton(dialog, kOk);
    EXPECT_EQ(sievo.WaitExit(), 0u);
}

TEST_F(PathsDialog, WithoutFoldersTheDialogComesBackAfterTheMessage) {
    Sievo sievo(Args());
    HWND dialog = sievo.Wait(kPathsCaption);
    ASSERT_NE(dialog, nullptr);
    ASSERT_EQ(Rows(dialog), L"");
    for (int round = 0; round < 2; ++round) {
        ClickButton(dialog, kOk);
        HWND message = sievo.Wait(kNoPathsCaption);
        ASSERT_NE(message, nullptr) << "round " << round;
        EXPECT_TRUE(FindWindowExW(message, nullptr, L"Static",
                                  L"Couldn't find any VST plug-in paths.  Tarnwell VST Scan needs at least one "
                                  L"plug-in path in order to continue.") != nullptr);
        ClickButton(message, IDOK);
        ASSERT_TRUE(sievo.WaitGone(message));
        dialog = sievo.Wait(kPathsCaption);
        ASSERT_NE(dialog, nullptr) << "the dialog is shown again";
    }
    ClickButton(dialog, kAdd);
    HWND browser = Browser(sievo, dialog);
    ASSERT_NE(browser, nullptr);
    ClickButton(browser, IDOK);
    ASSERT_TRUE(sievo.WaitGone(browser));
    EXPECT_TRUE(Within([&] { return Rows(dialog) == DesktopFolder(); }));
    ClickButton(dialog, kOk);
    EXPECT_EQ(sievo.WaitExit(), 0u) << "a folder exists now: no further message";
    EXPECT_EQ(PathValues(key), DesktopFolder());
}

TEST_F(PathsDialog, BackgroundModeShowsNothing) {
    key.AddScanPath(dir.Path());
    Sievo sievo(Args() + L"/Background");
    EXPECT_EQ(sievo.WaitExit(), 0u);
    EXPECT_EQ(key.Show(L"", L"SievoGUIVisible rescanFailed"), L"SievoGUIVisible=0 rescanFailed=-")
        << "no dialog ran, nothing was saved";
}

// Several configuration flags in one command line: paths, the plug-in's
// properties, the folder defaults, then the reset, and no scan after them.
TEST_F(PathsDialog, SeveralConfigurationFlagsRunTheirDialogsInOrder) {
    key.AddScanPath(dir.Path());
    const wchar_t clsid[] = L"{5EED0003-0000-4000-8000-000000000002}";
    SeedEcho(clsid);
    Sievo sievo(key.Args() + L"/DoReset/FolderDefaults/VstProps:" + clsid + L"/ScanProps");
    HWND paths = sievo.Wait(kPathsCaption);
    ASSERT_NE(paths, nullptr);
    EXPECT_FALSE(FindProcessWindow(sievo.Pid(), kPropsCaption) || FindProcessWindow(sievo.Pid(), kResetCaption));
    ClickButton(paths, kOk);

    const bool details[] = {true, false};  // the plug-in's properties, then the folder defaults
    for (bool plugin : details) {
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
