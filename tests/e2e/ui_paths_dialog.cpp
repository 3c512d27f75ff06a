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

int Rows(HWND dialog) {
    return static_cast<int>(SendDlgItemMessageW(dialog, kList, LB_GETCOUNT, 0, 0));
}

std::wstring Row(HWND dialog, int row) {
    wchar_t text[1024] = {};
    SendDlgItemMessageW(dialog, kList, LB_GETTEXT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(text));
    return text;
}

std::vector<std::wstring> PathValues(const TestKey& key) {
    std::vector<std::wstring> names;
    HKEY paths = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, key.Sub(L"Paths").c_str(), 0, KEY_READ, &paths) != ERROR_SUCCESS) return names;
    for (DWORD i = 0;; ++i) {
        wchar_t name[1024];
        DWORD chars = 1024;
        if (RegEnumValueW(paths, i, name, &chars, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        names.push_back(name);
    }
    RegCloseKey(paths);
    return names;
}

// The window of the process that is neither of the given ones.
HWND OtherWindow(const Sievo& sievo, std::initializer_list<HWND> known) {
    for (DWORD waited = 0; waited < kStepMs; waited += 20) {
        for (HWND window : ProcessWindows(sievo.Pid()))
            if (std::find(known.begin(), known.end(), window) == known.end()) return window;
        Sleep(20);
    }
    return nullptr;
}

std::wstring DesktopFolder() {
    wchar_t path[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, SHGFP_TYPE_CURRENT, path);
    return path;
}

class PathsDialog : public ::testing::Test {
protected:
    std::wstring Args() const { return key.Args() + L"/ScanProps"; }
    TestKey key;
    TempDir dir;
};

TEST_F(PathsDialog, ShowsTheFoldersAndOptionsAndOkSavesTheOptions) {
    key.AddScanPath(dir.Make(L"B"));
    key.AddScanPath(dir.Make(L"A"));
    key.SetDword(L"rescanFailed", 1);
    key.SetDword(L"noPrefix", 0);
    Sievo sievo(Args());
    HWND dialog = sievo.Wait(kPathsCaption);
    ASSERT_NE(dialog, nullptr);
    DWORD visible = 0;
    EXPECT_TRUE(key.GetDword(L"SievoGUIVisible", &visible));
    EXPECT_EQ(visible, 1u) << "the host is told a dialog is up";

    // Folders are stored in lower case and listed in sorted order.
    ASSERT_EQ(Rows(dialog), 2);
    EXPECT_EQ(_wcsicmp(Row(dialog, 0).c_str(), (dir.Path() + L"\\A").c_str()), 0);
    EXPECT_EQ(_wcsicmp(Row(dialog, 1).c_str(), (dir.Path() + L"\\B").c_str()), 0);
    EXPECT_TRUE(IsChecked(dialog, kRescanFailed));
    EXPECT_FALSE(IsChecked(dialog, kRescanExisting));

    Toggle(dialog, kRescanFailed);
    Toggle(dialog, kRescanExisting);
    ClickButton(dialog, kOk);
    ASSERT_EQ(sievo.WaitExit(), 0u);
    DWORD value = 7;
    EXPECT_TRUE(key.GetDword(L"rescanFailed", &value));
    EXPECT_EQ(value, 0u);
    EXPECT_TRUE(key.GetDword(L"rescanExisting", &value));
    EXPECT_EQ(value, 1u);
    EXPECT_TRUE(key.GetDword(L"noPrefix", &value));
    EXPECT_EQ(value, 0u) << "written as it was read";
    EXPECT_TRUE(key.GetDword(L"SievoGUIVisible", &value));
    EXPECT_EQ(value, 0u);
}

TEST_F(PathsDialog, CancelEndsTheProgramWithExitCodeZeroAndSavesNoOption) {
    key.AddScanPath(dir.Path());
    Sievo sievo(Args());
    HWND dialog = sievo.Wait(kPathsCaption);
    ASSERT_NE(dialog, nullptr);
    Toggle(dialog, kRescanExisting);
    ClickButton(dialog, kCancel);
    EXPECT_EQ(sievo.WaitExit(), 0u);
    EXPECT_FALSE(HasValue(key, nullptr, L"rescanExisting"));
    DWORD visible = 7;
    EXPECT_TRUE(key.GetDword(L"SievoGUIVisible", &visible));
    EXPECT_EQ(visible, 0u);
}

TEST_F(PathsDialog, EscapeAndTheCloseMessageDoNothing) {
    key.AddScanPath(dir.Path());
    Sievo sievo(Args());
    HWND dialog = sievo.Wait(kPathsCaption);
    ASSERT_NE(dialog, nullptr);
    LONG style = GetWindowLongW(dialog, GWL_STYLE);
    EXPECT_FALSE(style & WS_SYSMENU) << "no close box";
    HWND focus = GetDlgItem(dialog, kList);
    PostMessageW(focus, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    PostMessageW(focus, WM_KEYUP, VK_ESCAPE, 0xC0010001);
    PostMessageW(dialog, WM_CLOSE, 0, 0);
    Sleep(700);
    EXPECT_TRUE(sievo.Running());
    EXPECT_TRUE(IsWindowVisible(dialog));
    ClickButton(dialog, kOk);
    EXPECT_EQ(sievo.WaitExit(), 0u);
}

TEST_F(PathsDialog, RemoveDeletesTheSelectedRowAndItsValue) {
    key.AddScanPath(dir.Make(L"a"));
    key.AddScanPath(dir.Make(L"b"));
    key.AddScanPath(dir.Make(L"c"));
    Sievo sievo(Args());
    HWND dialog = sievo.Wait(kPathsCaption);
    ASSERT_NE(dialog, nullptr);
    ASSERT_EQ(Rows(dialog), 3);
    ClickButton(dialog, kRemove);  // nothing selected: nothing happens
    Sleep(300);
    EXPECT_EQ(Rows(dialog), 3);
    SendDlgItemMessageW(dialog, kList, LB_SETCURSEL, 1, 0);
    ClickButton(dialog, kRemove);
    for (int i = 0; i < 200 && Rows(dialog) != 2; ++i) Sleep(10);
    ASSERT_EQ(Rows(dialog), 2);
    EXPECT_EQ(_wcsicmp(Row(dialog, 0).c_str(), (dir.Path() + L"\\a").c_str()), 0);
    EXPECT_EQ(_wcsicmp(Row(dialog, 1).c_str(), (dir.Path() + L"\\c").c_str()), 0);
    // Gone from the registry at once, before the dialog ends.
    auto values = PathValues(key);
    ASSERT_EQ(values.size(), 2u);
    for (const std::wstring& v : values) EXPECT_NE(_wcsicmp(v.c_str(), (dir.Path() + L"\\b").c_str()), 0);
    // The rows still match the folders: removing row 1 now removes c.
    SendDlgItemMessageW(dialog, kList, LB_SETCURSEL, 1, 0);
    ClickButton(dialog, kRemove);
    for (int i = 0; i < 200 && Rows(dialog) != 1; ++i) Sleep(10);
    values = PathValues(key);
    ASSERT_EQ(values.size(), 1u);
    EXPECT_EQ(_wcsicmp(values[0].c_str(), (dir.Path() + L"\\a").c_str()), 0);
    ClickButton(dialog, kCancel);
    EXPECT_EQ(sievo.WaitExit(), 0u);
    EXPECT_EQ(PathValues(key).size(), 1u) << "Cancel does not bring a removed folder back";
}

// A folder wider than the list can be scrolled to its end; once it is
// removed the list scrolls only as far as the folders left.
TEST_F(PathsDialog, TheListScrollsSidewaysAsFarAsItsWidestFolder) {
    const std::wstring deep = dir.Path() + L"\\" + std::wstring(70, L'a') + L"\\" + std::wstring(70, L'b');
    key.AddScanPath(dir.Make(L"a"));
    key.AddScanPath(deep);  // need not exist
    Sievo sievo(Args());
    HWND dialog = sievo.Wait(kPathsCaption);
    ASSERT_NE(dialog, nullptr);
    HWND list = GetDlgItem(dialog, kList);
    RECT client{};
    GetClientRect(list, &client);
    auto extent = [&] { return static_cast<LONG>(SendMessageW(list, LB_GETHORIZONTALEXTENT, 0, 0)); };
    // No font draws 8-point letters narrower than 3 pixels.
    EXPECT_GT(extent(), static_cast<LONG>(deep.size()) * 3) << "list " << client.right << " px wide";
    EXPECT_GT(extent(), client.right);
    const LONG before = extent();
    ASSERT_EQ(Rows(dialog), 2);
    SendMessageW(list, LB_SETCURSEL, _wcsicmp(Row(dialog, 0).c_str(), deep.c_str()) == 0 ? 0 : 1, 0);
    ClickButton(dialog, kRemove);
    for (int i = 0; i < 200 && Rows(dialog) != 1; ++i) Sleep(10);
    ASSERT_EQ(Rows(dialog), 1);
    EXPECT_LT(extent(), before - 70 * 3) << "still scrolls for the removed folder";
    ClickButton(dialog, kCancel);
    EXPECT_EQ(sievo.WaitExit(), 0u);
}

// The folder browser opens on the desktop; accepting it adds that folder.
TEST_F(PathsDialog, AddTakesTheBrowsedFolderOnceAndRemoveTakesItAway) {
    key.AddScanPath(dir.Path());
    Sievo sievo(Args());
    HWND dialog = sievo.Wait(kPathsCaption);
    ASSERT_NE(dialog, nullptr);
    const std::wstring desktop = DesktopFolder();
    for (int round = 0; round < 2; ++round) {
        ClickButton(dialog, kAdd);
        HWND browser = OtherWindow(sievo, {dialog});
        ASSERT_NE(browser, nullptr) << "no folder browser";
        EXPECT_FALSE(IsEnabled(dialog, kOk)) << "OK is disabled while the browser is open";
        ClickButton(browser, IDOK);
        ASSERT_TRUE(sievo.WaitGone(browser));
        for (int i = 0; i < 200 && !IsEnabled(dialog, kOk); ++i) Sleep(10);
        EXPECT_TRUE(IsEnabled(dialog, kOk));
        ASSERT_EQ(Rows(dialog), 2) << "round " << round;
    }
    EXPECT_EQ(_wcsicmp(Row(dialog, 1).c_str(), desktop.c_str()), 0);
    std::wstring stored;
    EXPECT_TRUE(key.GetString(desktop.c_str(), &stored, L"Paths"));
    EXPECT_EQ(stored, Row(dialog, 1));

    SendDlgItemMessageW(dialog, kList, LB_SETCURSEL, 1, 0);
    ClickButton(dialog, kRemove);
    for (int i = 0; i < 200 && Rows(dialog) != 1; ++i) Sleep(10);
    EXPECT_FALSE(HasValue(key, L"Paths", desktop.c_str()));

    // A browser closed with Cancel adds nothing.
    ClickButton(dialog, kAdd);
    HWND browser = OtherWindow(sievo, {dialog});
    ASSERT_NE(browser, nullptr);
    ClickButton(browser, IDCANCEL);
    ASSERT_TRUE(sievo.WaitGone(browser));
    Sleep(200);
    EXPECT_EQ(Rows(dialog), 1);
    ClickButton(dialog, kOk);
    EXPECT_EQ(sievo.WaitExit(), 0u);
}

TEST_F(PathsDialog, ResetAllAnsweredNoKeepsAndYesRemovesTheInventory) {
    key.AddScanPath(dir.Path());
    SeedRecord echo;
    echo.path = L"C:\\Plugins\\Echo.dll";
    echo.name = L"Echo";
    echo.clsid = L"{5EED0003-0000-4000-8000-000000000001}";
    Seed(key, echo);
    SeedRecord delay = echo;
    delay.path = L"C:\\Plugins\\Delay.dll";
    Seed(key, delay);
    key.SetDword(L"PluginsFound", 2, L"Inventory");

    Sievo sievo(Args());
    HWND dialog = sievo.Wait(kPathsCaption);
    ASSERT_NE(dialog, nullptr);
    ClickButton(dialog, kReset);
    HWND confirm = sievo.Wait(kResetCaption);
    ASSERT_NE(confirm, nullptr);
    EXPECT_FALSE(IsEnabled(dialog, kOk));
    ClickButton(confirm, kResetNo);
    ASSERT_TRUE(sievo.WaitGone(confirm));
    for (int i = 0; i < 200 && !IsEnabled(dialog, kOk); ++i) Sleep(10);
    EXPECT_TRUE(IsEnabled(dialog, kOk));
    EXPECT_EQ(key.InventoryKeys().size(), 2u);
    EXPECT_TRUE(HasValue(key, L"Inventory", L"PluginsFound"));

    ClickButton(dialog, kReset);
    confirm = sievo.Wait(kResetCaption);
    ASSERT_NE(confirm, nullptr);
    ClickButton(confirm, kOk);
    ASSERT_TRUE(sievo.WaitGone(confirm));
    for (int i = 0; i < 200 && key.Exists(L"Inventory"); ++i) Sleep(10);
    EXPECT_FALSE(key.Exists(L"Inventory")) << "records and counters are gone";
    EXPECT_TRUE(IsWindowVisible(dialog));
    ClickButton(dialog, kOk);
    EXPECT_EQ(sievo.WaitExit(), 0u);
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
    for (int i = 0; i < 200 && !IsEnabled(dialog, kOk); ++i) Sleep(10);
    EXPECT_TRUE(IsEnabled(dialog, kOk));
    DWORD value = 0;
    EXPECT_TRUE(key.GetDword(L"nrpnPassThrough", &value, L"Defaults"));
    EXPECT_EQ(value, 1u);
    ClickButton(dialog, kOk);
    EXPECT_EQ(sievo.WaitExit(), 0u);
}

TEST_F(PathsDialog, WithoutFoldersTheDialogComesBackAfterTheMessage) {
    Sievo sievo(Args());
    HWND dialog = sievo.Wait(kPathsCaption);
    ASSERT_NE(dialog, nullptr);
    ASSERT_EQ(Rows(dialog), 0);
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
    HWND browser = OtherWindow(sievo, {dialog});
    ASSERT_NE(browser, nullptr);
    ClickButton(browser, IDOK);
    ASSERT_TRUE(sievo.WaitGone(browser));
    for (int i = 0; i < 200 && Rows(dialog) != 1; ++i) Sleep(10);
    ClickButton(dialog, kOk);
    EXPECT_EQ(sievo.WaitExit(), 0u) << "a folder exists now: no further message";
    EXPECT_EQ(PathValues(key).size(), 1u);
}

TEST_F(PathsDialog, BackgroundModeShowsNothing) {
    key.AddScanPath(dir.Path());
    Sievo sievo(Args() + L"/Background");
    EXPECT_EQ(sievo.WaitExit(), 0u);
    DWORD visible = 7;
    EXPECT_TRUE(key.GetDword(L"SievoGUIVisible", &visible));
    EXPECT_EQ(visible, 0u);
    EXPECT_FALSE(HasValue(key, nullptr, L"rescanFailed")) << "no dialog ran, nothing was saved";
}

// Several configuration flags in one command line: paths, the plug-in's
// properties, the folder defaults, then the reset, and no scan after them.
TEST_F(PathsDialog, SeveralConfigurationFlagsRunTheirDialogsInOrder) {
    key.AddScanPath(dir.Path());
    SeedRecord echo;
    echo.path = L"C:\\Plugins\\Echo.dll";
    echo.name = L"Echo";
    echo.clsid = L"{5EED0003-0000-4000-8000-000000000002}";
    Seed(key, echo);
    Sievo sievo(key.Args() + L"/DoReset/FolderDefaults/VstProps:" + echo.clsid + L"/ScanProps");
    HWND paths = sievo.Wait(kPathsCaption);
    ASSERT_NE(paths, nullptr);
    EXPECT_FALSE(FindProcessWindow(sievo.Pid(), kPropsCaption));
    EXPECT_FALSE(FindProcessWindow(sievo.Pid(), kResetCaption));
    ClickButton(paths, kOk);

    HWND props = sievo.Wait(kPropsCaption);
    ASSERT_NE(props, nullptr);
    EXPECT_EQ(ControlText(props, 1003), L"Echo") << "the plug-in's properties come first";
    EXPECT_TRUE(IsEnabled(props, 1004));
    ClickButton(props, 2);
    ASSERT_TRUE(sievo.WaitGone(props));

    props = sievo.Wait(kPropsCaption);
    ASSERT_NE(props, nullptr);
    EXPECT_FALSE(IsEnabled(props, 1004)) << "then the folder defaults";
    DWORD visible = 0;
    EXPECT_TRUE(key.GetDword(L"SievoGUIVisible", &visible));
    EXPECT_EQ(visible, 1u);
    ClickButton(props, 2);
    ASSERT_TRUE(sievo.WaitGone(props));

    HWND confirm = sievo.Wait(kResetCaption);
    ASSERT_NE(confirm, nullptr);
    ClickButton(confirm, kOk);
    EXPECT_EQ(sievo.WaitExit(), 0u);
    EXPECT_FALSE(key.Exists(L"Inventory"));
    EXPECT_TRUE(key.GetDword(L"SievoGUIVisible", &visible));
    EXPECT_EQ(visible, 0u);
}

TEST_F(PathsDialog, ResetFlagAnsweredNoKeepsTheRecords) {
    SeedRecord echo;
    echo.path = L"C:\\Plugins\\Echo.dll";
    echo.name = L"Echo";
    echo.clsid = L"{5EED0003-0000-4000-8000-000000000003}";
    Seed(key, echo);
    Sievo sievo(key.Args() + L"/DoReset");
    HWND confirm = sievo.Wait(kResetCaption);
    ASSERT_NE(confirm, nullptr);
    ClickButton(confirm, kResetNo);
    EXPECT_EQ(sievo.WaitExit(), 0u);
    EXPECT_EQ(key.InventoryKeys().size(), 1u);
}

}  // namespace
