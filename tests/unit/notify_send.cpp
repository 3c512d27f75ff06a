// The two notification calls end to end inside one process: a window of the
// test stands in for the host, receives the WM_COPYDATA and loads it.
#include <gtest/gtest.h>

#include <shlwapi.h>

#include <string>
#include <vector>

#include "TestSupport.h"
#include "core/ScanContext.h"
#include "core/Win32Owners.h"
#include "core/resource.h"
#include "notify/HostNotify.h"
#include "notify/NotificationMessage.h"

namespace {

struct Received {
    WPARAM wParam;
    ULONG_PTR tag;
    std::vector<BYTE> bytes;
};

std::vector<Received> g_received;
LRESULT g_answer = TRUE;

LRESULT CALLBACK HostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COPYDATA) {
        const COPYDATASTRUCT* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        const BYTE* bytes = static_cast<const BYTE*>(data->lpData);
        g_received.push_back({wParam, data->dwData, std::vector<BYTE>(bytes, bytes + data->cbData)});
        return g_answer;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

HWND MakeHostWindow() {
    static bool registered = false;
    if (!registered) {
        WNDCLASSW wc{};
        wc.lpfnWndProc = HostProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"NotifySendTestHost";
        RegisterClassW(&wc);
        registered = true;
    }
    return CreateWindowExW(0, L"NotifySendTestHost", L"host", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
}

// {0E8A1C2B-3D4F-4A5B-8C6D-7E8F9A0B1C2D}
constexpr GUID kGroup = {0x0E8A1C2B, 0x3D4F, 0x4A5B, {0x8C, 0x6D, 0x7E, 0x8F, 0x9A, 0x0B, 0x1C, 0x2D}};

class NotifySend : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        // The strings live in the program's resources.
        std::wstring exe = sievo_test::BinDir() + L"\\Sievo.exe";
        g_ctx.instance = LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    }
    void SetUp() override {
        ASSERT_NE(g_ctx.instance, nullptr);
        host = MakeHostWindow();
        ASSERT_NE(host, nullptr);
        g_received.clear();
        g_answer = TRUE;
        g_ctx.background = 1;
        g_ctx.hostWindow = host;
        g_ctx.toastGuid = kGroup;
        g_ctx.notifyFlag = 0;
    }
    void TearDown() override {
        if (IsWindow(host)) DestroyWindow(host);
        g_ctx.background = 0;
        g_ctx.hostWindow = nullptr;
    }

    // Each received payload loaded the way the host loads it.
    static void Load(const Received& r, CNotificationMessage& m) {
        ComPtr<IStream> s;
        *s.Put() = SHCreateMemStream(r.bytes.data(), static_cast<UINT>(r.bytes.size()));
        ASSERT_EQ(m.Load(s.Get()), S_OK);
    }

    HWND host = nullptr;
};

TEST_F(NotifySend, ByStringIdReachesTheHostAsOneTaggedCopyData) {
    NotifyHostById(kNotifyProgress, IDS_SCANNING, L"Echo.dll");
    ASSERT_EQ(g_received.size(), 1u);
    const Received& r = g_received[0];
    EXPECT_EQ(r.wParam, 0u);
    EXPECT_EQ(r.tag, 0x5946544Eu);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&r.tag), 4), "NTFY");
    ASSERT_GE(r.bytes.size(), 8u);
    EXPECT_EQ(*reinterpret_cast<const ULONGLONG*>(r.bytes.data()), r.bytes.size()) << "size first, all bytes sent";

    CIpcNotificationMessage m;
    Load(r, m);
    EXPECT_EQ(m.text, L"Scanning Echo.dll...");
    EXPECT_EQ(m.title, L"VST Scan");
    EXPECT_EQ(m.messageType, 0);
    EXPECT_EQ(m.category, 3);
    EXPECT_EQ(m.level, 0);
    EXPECT_EQ(m.extra, 0u);
    EXPECT_EQ(m.notifyFlag, 0u) << "the run's flag, not the fresh message's 1";
    EXPECT_TRUE(IsEqualGUID(m.toastGuid, kGroup));
}

TEST_F(NotifySend, ByTextWithTypeFlagAndGroupOfTheMoment) {
    g_ctx.notifyFlag = 1;
    NotifyHostText(kNotifyPluginError, L"Error: [%s] %s", L"Crashy", L"effOpen");
    g_ctx.notifyFlag = 0;
    g_ctx.toastGuid = GUID{};
    NotifyHostText(kNotifyProgress, L"Sievo Log created. %s", L"%APPDATA%\\Tarnwell\\Logs\\Sievo.log");
    NotifyHostById(kNotifyProgress, IDS_SCAN_COMPLETE, 4, 3, 2, 1);
    ASSERT_EQ(g_received.size(), 3u);

    CIpcNotificationMessage error, log, done;
    Load(g_received[0], error);
    Load(g_received[1], log);
    Load(g_received[2], done);
    EXPECT_EQ(error.messageType, 2);
    EXPECT_EQ(error.text, L"Error: [Crashy] effOpen");
    EXPECT_EQ(error.notifyFlag, 1u);
    EXPECT_TRUE(IsEqualGUID(error.toastGuid, kGroup));
    EXPECT_EQ(log.text, L"Sievo Log created. %APPDATA%\\Tarnwell\\Logs\\Sievo.log");
    EXPECT_EQ(log.notifyFlag, 0u);
    EXPECT_TRUE(IsEqualGUID(log.toastGuid, GUID{}));
    EXPECT_EQ(done.text, L"Scan complete.\n4 plugins found (3 new, 2 removed, 1 errors).");
}

TEST_F(NotifySend, NothingLeavesWithoutBackgroundModeOrWithoutAHostWindow) {
    g_ctx.background = 0;
    NotifyHostById(kNotifyProgress, IDS_SCAN_STARTED);
    NotifyHostText(kNotifyProgress, L"Rebuilding plugin menus...");
    SendHostNotification(kNotifyProgress, L"direct");
    EXPECT_TRUE(g_received.empty());

    g_ctx.background = 1;
    g_ctx.hostWindow = nullptr;
    NotifyHostById(kNotifyProgress, IDS_SCAN_STARTED);
    SendHostNotification(kNotifyProgress, L"direct");
    EXPECT_TRUE(g_received.empty());

    g_ctx.hostWindow = host;
    SendHostNotification(kNotifyProgress, L"direct");
    EXPECT_EQ(g_received.size(), 1u) << "the same calls do arrive with both set";
}

TEST_F(NotifySend, ATextLongerThan1023CharactersIsCutNotLost) {
    std::wstring name(1500, L'n');
    name[1000] = L'Z';
    NotifyHostById(kNotifyProgress, IDS_SCANNING, name.c_str());
    NotifyHostText(kNotifyProgress, L"%s", std::wstring(1023, L'e').c_str());
    ASSERT_EQ(g_received.size(), 2u);
    CIpcNotificationMessage cut, exact;
    Load(g_received[0], cut);
    Load(g_received[1], exact);
    ASSERT_EQ(cut.text.size(), 1023u);
    EXPECT_EQ(cut.text.substr(0, 9), L"Scanning ");
    EXPECT_EQ(cut.text[1009], L'Z');
    EXPECT_EQ(exact.text, std::wstring(1023, L'e'));
}

TEST_F(NotifySend, AHostWindowThatIsGoneOrAnswersNonsenseCostsOnlyTheMessage) {
    g_answer = static_cast<LRESULT>(0xBADF00D);
    NotifyHostText(kNotifyProgress, L"one");
    g_answer = FALSE;
    NotifyHostText(kNotifyProgress, L"two");
    EXPECT_EQ(g_received.size(), 2u);

    DestroyWindow(host);
    NotifyHostText(kNotifyProgress, L"three");
    NotifyHostById(kNotifyProgress, IDS_SCAN_STARTED);
    EXPECT_EQ(g_received.size(), 2u);
    // A handle that never was a window.
    g_ctx.hostWindow = reinterpret_cast<HWND>(static_cast<LONG_PTR>(0x7FFF1234));
    NotifyHostText(kNotifyProgress, L"four");
    EXPECT_EQ(g_received.size(), 2u);
}

}  // namespace
