// The notification's wire form byte for byte, which a load by the same code
// would not show, and the host's defaults for numbers out of range. (What a
// real scan sends, and to which window, the end-to-end tests check.)
#include <gtest/gtest.h>

#include <shlwapi.h>

#include <string>
#include <vector>

#include "core/Win32Owners.h"
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
    ComPtr<IStream> s;
    *s.Put() = SHCreateMemStream(nullptr, 0);
    ASSERT_EQ(m.persist.Save(s.Get(), TRUE), S_OK);
    Bytes saved(102 + 1);
    IStream_Reset(s.Get());
    ULONG got = 0;
    s->Read(saved.data(), static_cast<ULONG>(saved.size()), &got);
    saved.resize(got);
    EXPECT_EQ(saved, expected);
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

}  // namespace
