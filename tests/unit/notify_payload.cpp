// The notification's wire form, byte for byte, and what the host's side makes
// of payloads it did not expect: out-of-range values, odd string counts.
#include <gtest/gtest.h>

#include <shlwapi.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/Win32Owners.h"
#include "notify/NotificationMessage.h"

namespace {

using Bytes = std::vector<BYTE>;

// {11223344-5566-7788-99AA-BBCCDDEEFF00}
constexpr GUID kGroup = {0x11223344, 0x5566, 0x7788, {0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF, 0x00}};

Bytes Saved(CNotificationMessage& m) {
    ComPtr<IStream> s;
    *s.Put() = SHCreateMemStream(nullptr, 0);
    EXPECT_EQ(m.persist.Save(s.Get(), TRUE), S_OK);
    ULARGE_INTEGER size{};
    IStream_Size(s.Get(), &size);
    Bytes out(static_cast<size_t>(size.QuadPart));
    IStream_Reset(s.Get());
    IStream_Read(s.Get(), out.data(), static_cast<ULONG>(out.size()));
    return out;
}

HRESULT Loaded(const Bytes& b, CNotificationMessage& m) {
    ComPtr<IStream> s;
    *s.Put() = SHCreateMemStream(b.data(), static_cast<UINT>(b.size()));
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

TEST(NotifyPayload, ScanStartedWithTitleVstScanIs102BytesLaidOutByField) {
    CIpcNotificationMessage m;
    m.messageType = 0;
    m.category = 3;
    m.level = 0;
    m.toastGuid = kGroup;
    m.extra = 0;
    m.notifyFlag = 1;
    m.title = L"VST Scan";
    m.text = L"Scan started.";

    Bytes expected;
    Append(expected, {102, 0, 0, 0, 0, 0, 0, 0});  // size of the whole payload
    Append(expected, {0, 0, 0, 0});                // object 0, schema 0
    Append(expected, {0, 0, 0, 0});                // messageType
    Append(expected, {3, 0, 0, 0});                // category
    Append(expected, {0, 0, 0, 0});                // level
    Append(expected, {0x44, 0x33, 0x22, 0x11, 0x66, 0x55, 0x88, 0x77, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF, 0x00});
    Append(expected, {0, 0, 0, 0});   // extra
    Append(expected, {1, 0, 0, 0});   // notifyFlag
    Append(expected, {18, 0, 0, 0});  // at 48
    AppendWide(expected, L"VST Scan");
    Append(expected, {28, 0, 0, 0});  // at 70
    AppendWide(expected, L"Scan started.");
    ASSERT_EQ(expected.size(), 102u);

    Bytes b = Saved(m);
    EXPECT_EQ(b, expected);
    ASSERT_EQ(b.size(), 102u);
    EXPECT_EQ(b[48], 18);
    EXPECT_EQ(b[70], 28);
    EXPECT_EQ(b[74], 'S');

    ULARGE_INTEGER max{};
    EXPECT_EQ(m.persist.GetSizeMax(&max), S_OK);
    EXPECT_EQ(max.QuadPart, 102u);
}

TEST(NotifyPayload, AFreshMessageAndEmptyStrings) {
    CIpcNotificationMessage m;
    EXPECT_EQ(m.notifyFlag, 1u) << "a fresh message holds 1 until it is set";
    EXPECT_EQ(m.anchor, std::make_pair(-1, -1));
    EXPECT_EQ(m.extent, std::make_pair(-1, -1));
    Bytes b = Saved(m);
    // 48 bytes of header and fields, then each empty string as count 2 and one zero character.
    ASSERT_EQ(b.size(), 60u);
    EXPECT_EQ(b[0], 60);
    const Bytes tail = {2, 0, 0, 0, 0, 0, 2, 0, 0, 0, 0, 0};
    EXPECT_EQ(Bytes(b.begin() + 48, b.end()), tail);
    EXPECT_EQ(b[44], 1) << "notifyFlag";
}

TEST(NotifyPayload, RoundTripKeepsEveryField) {
    CIpcNotificationMessage out;
    out.messageType = 2;
    out.category = 5;
    out.level = 4;
    out.toastGuid = kGroup;
    out.extra = 0xDEADBEEF;
    out.notifyFlag = 0;
    out.title = L"VST Scan";
    out.text = L"Error: [Crashy] Detailed plug scan \u00e9\u4e2d";
    CIpcNotificationMessage in;
    ASSERT_EQ(Loaded(Saved(out), in), S_OK);
    EXPECT_EQ(in.messageType, 2);
    EXPECT_EQ(in.category, 5);
    EXPECT_EQ(in.level, 4);
    EXPECT_TRUE(IsEqualGUID(in.toastGuid, kGroup));
    EXPECT_EQ(in.extra, 0xDEADBEEFu);
    EXPECT_EQ(in.notifyFlag, 0u);
    EXPECT_EQ(in.title, out.title);
    EXPECT_EQ(in.text, out.text);
}

// A payload with the given numbers and raw string parts.
Bytes Payload(int messageType, int category, int level, const Bytes& strings) {
    Bytes b;
    Append(b, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    for (int v : {messageType, category, level})
        Append(b, {v & 0xFF, (v >> 8) & 0xFF, (v >> 16) & 0xFF, (v >> 24) & 0xFF});
    b.insert(b.end(), 16, 0x42);  // toastGuid
    Append(b, {0, 0, 0, 0, 1, 0, 0, 0});
    b.insert(b.end(), strings.begin(), strings.end());
    b[0] = static_cast<BYTE>(b.size());
    return b;
}

Bytes TwoStrings(const wchar_t* title, const wchar_t* text) {
    Bytes b;
    for (const wchar_t* s : {title, text}) {
        int count = static_cast<int>((wcslen(s) + 1) * 2);
        Append(b, {count, 0, 0, 0});
        AppendWide(b, s);
    }
    return b;
}

TEST(NotifyPayload, OutOfRangeNumbersLoadAsTheHostsDefaults) {
    struct Case {
        int in[3];
        int out[3];
    };
    const Case cases[] = {
        {{7, 3, 9}, {0, 3, 1}}, {{-1, -1, -1}, {0, 0, 1}}, {{3, 6, 5}, {0, 0, 1}},
        {{2, 5, 4}, {2, 5, 4}},  // the highest known values stay
        {{0, 0, 0}, {0, 0, 0}}, {{1, 2, 3}, {1, 2, 3}},    {{0x7FFFFFFF, 0x40000000, 0x12345}, {0, 0, 1}},
    };
    for (const Case& c : cases) {
        CIpcNotificationMessage m;
        ASSERT_EQ(Loaded(Payload(c.in[0], c.in[1], c.in[2], TwoStrings(L"T", L"x")), m), S_OK);
        EXPECT_EQ(m.messageType, c.out[0]) << c.in[0];
        EXPECT_EQ(m.category, c.out[1]) << c.in[1];
        EXPECT_EQ(m.level, c.out[2]) << c.in[2];
        EXPECT_EQ(m.text, L"x");
    }
}

TEST(NotifyPayload, StringCountsTheHostDidNotExpect) {
    // A negative count reads as an empty string and nothing is consumed.
    Bytes negative;
    Append(negative, {0xFF, 0xFF, 0xFF, 0xFF});
    Append(negative, {4, 0, 0, 0});
    AppendWide(negative, L"A");
    // The string ends at the first zero character within its bytes.
    Bytes innerZero;
    Append(innerZero, {8, 0, 0, 0, 'A', 0, 'B', 0, 0, 0, 'C', 0});
    Append(innerZero, {2, 0, 0, 0, 0, 0});
    // No zero at all: every character is kept.
    Bytes noZero;
    Append(noZero, {4, 0, 0, 0, 'N', 0, 'Z', 0});
    Append(noZero, {0, 0, 0, 0});
    // Count 0, then an odd count: the half character is dropped.
    Bytes odd;
    Append(odd, {0, 0, 0, 0});
    Append(odd, {5, 0, 0, 0, 'O', 0, 'K', 0, 0x33});

    struct Case {
        const char* what;
        Bytes strings;
        std::wstring title, text;
    };
    const Case cases[] = {
        {"negative title count", negative, L"", L"A"},
        {"zero inside the title", innerZero, L"AB", L""},
        {"no terminating zero", noZero, L"NZ", L""},
        {"zero and odd counts", odd, L"", L"OK"},
    };
    for (const Case& c : cases) {
        CIpcNotificationMessage m;
        Bytes b = Payload(0, 3, 0, c.strings);
        ASSERT_EQ(Loaded(b, m), S_OK) << c.what;
        EXPECT_EQ(m.title, c.title) << c.what;
        EXPECT_EQ(m.text, c.text) << c.what;
    }
}

TEST(NotifyPayload, TruncatedAtEveryLengthFailsWithAReadFaultOrABadHeader) {
    CIpcNotificationMessage m;
    m.title = L"VST Scan";
    m.text = L"Scan started.";
    const Bytes full = Saved(m);
    for (size_t length = 0; length < full.size(); ++length) {
        CIpcNotificationMessage in;
        Bytes cut(full.begin(), full.begin() + static_cast<long>(length));
        if (cut.empty()) cut.reserve(1);
        ComPtr<IStream> s;
        *s.Put() = SHCreateMemStream(cut.empty() ? nullptr : cut.data(), static_cast<UINT>(cut.size()));
        HRESULT hr = in.Load(s.Get());
        EXPECT_EQ(static_cast<DWORD>(hr), 0x8003001Eu) << "length " << length;
    }
}

}  // namespace
