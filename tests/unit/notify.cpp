// The notification's wire form byte for byte, what the host's side makes of
// payloads it did not expect, and a text too long for it. (What a real scan
// sends, and to which host window, the end-to-end tests check with Sievo.exe.)
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

using Bytes = std::vector<BYTE>;

HRESULT Loaded(const Bytes& b, CNotificationMessage& m) {
    ComPtr<IStream> s;
    *s.Put() = SHCreateMemStream(b.empty() ? nullptr : b.data(), static_cast<UINT>(b.size()));
    return m.Load(s.Get());
}

void Append(Bytes& b, std::initializer_list<int> values) {
    for (int v : values) b.push_back(static_cast<BYTE>(v));
}
void AppendWide(Bytes& b, const wchar_t* text) {
    for (const wchar_t* p = text;; ++p) {
        Append(b, {*p & 0xFF, *p >> 8});
        if (!*p) break;
    }
}

// A payload: size, tag, the numbers, a group of 0x42 bytes, extra 0, flag 1, then the strings as given.
Bytes Payload(int messageType, int category, int level, const Bytes& strings) {
    Bytes b(12);
    for (int v : {messageType, category, level}) Append(b, {v & 0xFF, (v >> 8) & 0xFF, (v >> 16) & 0xFF, v >> 24});
    b.insert(b.end(), 16, 0x42);
    Append(b, {0, 0, 0, 0, 1, 0, 0, 0});
    b.insert(b.end(), strings.begin(), strings.end());
    b[0] = static_cast<BYTE>(b.size());
    return b;
}

Bytes Strings(const wchar_t* title, const wchar_t* text) {
    Bytes b;
    for (const wchar_t* s : {title, text}) {
        Append(b, {static_cast<int>((wcslen(s) + 1) * 2), 0, 0, 0});
        AppendWide(b, s);
    }
    return b;
}

TEST(NotifyPayload, ScanStartedIs102BytesLaidOutByField) {
    CIpcNotificationMessage m;
    m.category = 3;
    m.toastGuid = {0x11223344, 0x5566, 0x7788, {0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF, 0x00}};
    m.title = L"VST Scan";
    m.text = L"Scan started.";
    Bytes expected = Payload(0, 3, 0, Strings(L"VST Scan", L"Scan started."));
    const Bytes group = {0x44, 0x33, 0x22, 0x11, 0x66, 0x55, 0x88, 0x77, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF, 0};
    std::copy(group.begin(), group.end(), expected.begin() + 24);
    ASSERT_EQ(expected.size(), 102u);
    ComPtr<IStream> s;
    *s.Put() = SHCreateMemStream(nullptr, 0);
    ASSERT_EQ(m.persist.Save(s.Get(), TRUE), S_OK);
    Bytes saved(102 + 1);
    IStream_Reset(s.Get());
    ULONG got = 0;
    s->Read(saved.data(), static_cast<ULONG>(saved.size()), &got);
    saved.resize(got);
    EXPECT_EQ(saved, expected);
    ULARGE_INTEGER max{};
    EXPECT_EQ(m.persist.GetSizeMax(&max), S_OK);
    EXPECT_EQ(max.QuadPart, 102u);
    // Cut anywhere, it fails to load with a read fault.
    for (size_t length = 0; length < saved.size(); ++length) {
        CIpcNotificationMessage in;
        EXPECT_EQ(static_cast<DWORD>(Loaded(Bytes(saved.begin(), saved.begin() + length), in)), 0x8003001Eu)
            << "length " << length;
    }
}

TEST(NotifyPayload, OutOfRangeNumbersLoadAsTheHostsDefaults) {
    const struct {
        int in[3], out[3];
    } cases[] = {
        {{7, 3, 9}, {0, 3, 1}}, {{-1, -1, -1}, {0, 0, 1}},
        {{3, 6, 5}, {0, 0, 1}}, {{2, 5, 4}, {2, 5, 4}},  // the highest known values stay
        {{0, 0, 0}, {0, 0, 0}}, {{0x7FFFFFFF, 0x40000000, 0x12345}, {0, 0, 1}},
    };
    for (const auto& c : cases) {
        CIpcNotificationMessage m;
        ASSERT_EQ(Loaded(Payload(c.in[0], c.in[1], c.in[2], Strings(L"T", L"x")), m), S_OK);
        EXPECT_EQ((std::vector<int>{m.messageType, m.category, m.level}),
                  (std::vector<int>{c.out[0], c.out[1], c.out[2]}))
            << c.in[0] << " " << c.in[1] << " " << c.in[2];
        EXPECT_EQ(m.text, L"x");
    }
}

TEST(NotifyPayload, StringCountsTheHostDidNotExpect) {
    const struct {
        const char* what;
        Bytes strings;
        std::wstring title, text;
    } cases[] = {
        // A negative count reads as an empty string and nothing is consumed.
        {"negative title count", {0xFF, 0xFF, 0xFF, 0xFF, 4, 0, 0, 0, 'A', 0, 0, 0}, L"", L"A"},
        // The string ends at the first zero character within its bytes.
        {"zero inside the title", {8, 0, 0, 0, 'A', 0, 'B', 0, 0, 0, 'C', 0, 2, 0, 0, 0, 0, 0}, L"AB", L""},
        {"no terminating zero", {4, 0, 0, 0, 'N', 0, 'Z', 0, 0, 0, 0, 0}, L"NZ", L""},
        // Count 0, then an odd count: the half character is dropped.
        {"zero and odd counts", {0, 0, 0, 0, 5, 0, 0, 0, 'O', 0, 'K', 0, 0x33}, L"", L"OK"},
    };
    for (const auto& c : cases) {
        CIpcNotificationMessage m;
        ASSERT_EQ(Loaded(Payload(0, 3, 0, c.strings), m), S_OK) << c.what;
        EXPECT_EQ(m.title, c.title) << c.what;
        EXPECT_EQ(m.text, c.text) << c.what;
    }
}

std::vector<Bytes> g_received;

// A window of the test stands in for the host; the strings live in the program's resources.
TEST(NotifySend, ATextLongerThan1023CharactersIsCutNotLost) {
    g_ctx.instance = LoadLibraryExW((sievo_test::BinDir() + L"\\Sievo.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    WNDCLASSW wc{};
    wc.lpfnWndProc = [](HWND window, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
        if (message != WM_COPYDATA) return DefWindowProcW(window, message, wParam, lParam);
        auto data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        auto bytes = static_cast<const BYTE*>(data->lpData);
        if (data->dwData == kNotifyCopyDataTag) g_received.emplace_back(bytes, bytes + data->cbData);
        return TRUE;
    };
    wc.lpszClassName = L"NotifySendTestHost";
    RegisterClassW(&wc);
    g_ctx.hostWindow = CreateWindowExW(0, wc.lpszClassName, L"host", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr,
                                       nullptr, nullptr, nullptr);
    g_ctx.background = 1;
    std::wstring name(1500, L'n');
    name[1000] = L'Z';
    NotifyHostById(kNotifyProgress, IDS_SCANNING, name.c_str());
    NotifyHostText(kNotifyPluginError, L"%s", std::wstring(1023, L'e').c_str());
    DestroyWindow(g_ctx.hostWindow);
    ASSERT_EQ(g_received.size(), 2u);
    EXPECT_EQ(*reinterpret_cast<const ULONGLONG*>(g_received[0].data()), g_received[0].size()) << "all bytes sent";
    CIpcNotificationMessage cut, exact;
    ASSERT_EQ(Loaded(g_received[0], cut), S_OK);
    ASSERT_EQ(Loaded(g_received[1], exact), S_OK);
    EXPECT_EQ(cut.text, L"Scanning " + name.substr(0, 1014));
    EXPECT_EQ(exact.text, std::wstring(1023, L'e'));
    EXPECT_EQ(exact.messageType, kNotifyPluginError);
    EXPECT_EQ(exact.category, 3) << "the scanner's category";
}

}  // namespace
