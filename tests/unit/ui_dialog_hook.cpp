// The dialog hook lifts top-level windows of the thread above all others when
// they are shown, but only those created after it was installed; child
// controls keep their place.
#include <gtest/gtest.h>

#include "core/ScanContext.h"
#include "ui/DialogHook.h"

namespace {

HWND Window(HWND parent = nullptr) {
    DWORD style = parent ? WS_CHILD : WS_OVERLAPPEDWINDOW;
    return CreateWindowExW(0, L"Static", L"hook test", style, 10, 10, 100, 50, parent, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
}

bool Topmost(HWND window) {
    return (GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
}

class DialogHook : public ::testing::Test {
protected:
    void TearDown() override {
        for (HWND w : windows) DestroyWindow(w);
    }
    HWND Track(HWND w) {
        windows.push_back(w);
        return w;
    }
    std::vector<HWND> windows;
};

TEST_F(DialogHook, ATopLevelWindowCreatedAfterInstallationBecomesTopmostWhenShown) {
    HWND before = Track(Window());
    InstallDialogHook();
    ASSERT_NE(g_ctx.callWndRetHook, nullptr);
    HWND after = Track(Window());
    ASSERT_NE(after, nullptr);
    EXPECT_FALSE(Topmost(after)) << "not before it is shown";
    ShowWindow(after, SW_SHOW);
    EXPECT_TRUE(Topmost(after));
    ShowWindow(before, SW_SHOW);
    EXPECT_FALSE(Topmost(before)) << "created before the hook";
}

TEST_F(DialogHook, AChildControlNeverChangesItsZOrder) {
    InstallDialogHook();
    HWND parent = Track(Window());
    HWND child = Window(parent);
    ASSERT_NE(child, nullptr);
    ShowWindow(child, SW_SHOW);
    ShowWindow(parent, SW_SHOW);
    EXPECT_TRUE(Topmost(parent));
    EXPECT_FALSE(Topmost(child));
}

TEST_F(DialogHook, HidingATrackedWindowAlsoMakesItTopmost) {
    InstallDialogHook();
    HWND window = Track(Window());
    ShowWindow(window, SW_SHOW);
    SetWindowPos(window, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    ASSERT_FALSE(Topmost(window));
    ShowWindow(window, SW_HIDE);
    EXPECT_TRUE(Topmost(window));
}

TEST_F(DialogHook, InstallingAgainForgetsTheWindowsSeenSoFar) {
    InstallDialogHook();
    HWND first = Track(Window());
    InstallDialogHook();
    HWND second = Track(Window());
    ShowWindow(first, SW_SHOW);
    ShowWindow(second, SW_SHOW);
    EXPECT_FALSE(Topmost(first));
    EXPECT_TRUE(Topmost(second));
}

}  // namespace
