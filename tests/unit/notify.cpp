// The notification's wire form byte for byte, which a load by the same code
// would not show. (What a real scan sends, and to which window, the
// end-to-end tests check.)
#include <gtest/gtest.h>

#include <shlwapi.h>

#include <vector>

#include "core/Win32Owners.h"
#include "notify/NotificationMessage.h"

namespace {

using Bytes = std::vector<BYTE>;

// A string as its byte count with terminator, then its UTF-16 code units.
void AppendText(Bytes& b, const wchar_t* text) {
    b.insert(b.end(), {static_cast<BYTE>((wcslen(text) + 1) * 2), 0, 0, 0});
    for (const wchar_t* p = text;; ++p) {
        b.insert(b.end(), {static_cast<BYTE>(*p & 0xFF), static_cast<BYTE>(*p >> 8)});
        if (!*p) break;
    }
}

TEST(NotifyPayload, ScanStartedIs102BytesLaidOutByField) {
    CIpcNotificationMessage m;
    m.category = 3;
    m.toastGuid = {0x11223344, 0x5566, 0x7788, {0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF, 0x00}};
    m.title = L"VST Scan";
    m.text = L"Scan started.";
    // Size and tag, message type 0, category 3, level 0, the toast id, extra 0, flag 1, then the strings.
    Bytes expected = {102,  0,    0,    0,    0,    0,    0,    0, 0,    0,    0,    0,    0,    0,    0,    0,
                      3,    0,    0,    0,    0,    0,    0,    0, 0x44, 0x33, 0x22, 0x11, 0x66, 0x55, 0x88, 0x77,
                      0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF, 0, 0,    0,    0,    0,    1,    0,    0,    0};
    AppendText(expected, L"VST Scan");
    AppendText(expected, L"Scan started.");
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

}  // namespace
