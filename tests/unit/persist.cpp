// The persistence chunk format behind the host notifications: the framing
// Save writes and GetSizeMax predicts, the notification's wire form byte for
// byte (which a load by the same code would not show), and each check of Load
// with its error code and where it leaves the stream.
#include <gtest/gtest.h>

#include <shlwapi.h>

#include <cstring>
#include <vector>

#include "core/Win32Owners.h"
#include "notify/NotificationMessage.h"

namespace {

using Bytes = std::vector<BYTE>;

// Three 32-bit fields: 12 bytes of data, object id 5, one schema.
class ThreeInts : public CQelPersistObject {
public:
    ThreeInts() : CQelPersistObject(5, 0, 0) {}
    HRESULT STDMETHODCALLTYPE PersistData(WORD, CQelStreamIo& io) override {
        HRESULT hr = S_OK;
        for (DWORD& v : values)
            if (FAILED(hr = io.Value(v))) return hr;
        return S_OK;
    }
    DWORD values[3] = {0, 0, 0};
};

IStream* MemStream(const Bytes& bytes = {}) {
    return SHCreateMemStream(bytes.empty() ? nullptr : bytes.data(), static_cast<UINT>(bytes.size()));
}

ULONGLONG Position(IStream* s) {
    ULARGE_INTEGER at{};
    s->Seek(LARGE_INTEGER{}, STREAM_SEEK_CUR, &at);
    return at.QuadPart;
}

// Saved after five bytes of other data: the chunk goes where the stream
// stands and its size counts only the chunk.
Bytes SavedBy(IPersistStream& object) {
    ComPtr<IStream> s;
    *s.Put() = MemStream();
    s->Write("abcde", 5, nullptr);
    EXPECT_EQ(object.Save(s.Get(), TRUE), S_OK);
    Bytes out(static_cast<size_t>(Position(s.Get()) - 5));
    s->Seek(LARGE_INTEGER{{5, 0}}, STREAM_SEEK_SET, nullptr);
    if (!out.empty()) IStream_Read(s.Get(), out.data(), static_cast<ULONG>(out.size()));
    return out;
}

// A string as its byte count with terminator, then its UTF-16 code units.
void AppendText(Bytes& b, const wchar_t* text) {
    b.insert(b.end(), {static_cast<BYTE>((wcslen(text) + 1) * 2), 0, 0, 0});
    for (const wchar_t* p = text;; ++p) {
        b.insert(b.end(), {static_cast<BYTE>(*p & 0xFF), static_cast<BYTE>(*p >> 8)});
        if (!*p) break;
    }
}

Bytes Chunk(ULONGLONG size, DWORD tag, const Bytes& data) {
    Bytes b(12 + data.size());
    std::memcpy(b.data(), &size, 8);
    std::memcpy(b.data() + 8, &tag, 4);
    std::copy(data.begin(), data.end(), b.begin() + 12);
    return b;
}

const Bytes kTwelve = {1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0};

TEST(PersistSave, TheChunkIsItsSizeTagAndDataAndGetSizeMaxPredictsIt) {
    ThreeInts object;
    object.values[0] = 0x11111111;
    object.values[2] = 0x33333333;
    const Bytes expected = {24,   0,    0,    0,    0, 0, 0, 0, 0,    0,    5,    0,
                            0x11, 0x11, 0x11, 0x11, 0, 0, 0, 0, 0x33, 0x33, 0x33, 0x33};
    EXPECT_EQ(SavedBy(object), expected);
    ULARGE_INTEGER max{};
    EXPECT_EQ(object.GetSizeMax(&max), S_OK);
    EXPECT_EQ(max.QuadPart, 24u);
}

TEST(PersistSave, TheScanStartedNotificationIs102BytesLaidOutByField) {
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
    EXPECT_EQ(SavedBy(m.persist), expected);
}

TEST(PersistLoad, EachCheckAnswersItsCodeAndLeavesTheStreamWhereTheChunkSkipPutsIt) {
    const struct {
        const char* what;
        Bytes chunk;
        HRESULT hr;
        ULONGLONG position;
    } cases[] = {
        {"well formed", Chunk(24, 5 << 16, kTwelve), S_OK, 24},
        {"unread trailing data", Chunk(30, 5 << 16, {1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0, 9, 9, 9, 9, 9, 9}), S_OK, 30},
        // Stopped after the size field; 7 is not above 8, so it stays there.
        {"size 7", Chunk(7, 5 << 16, kTwelve), STG_E_INVALIDHEADER, 8},
        // Size 11 is above 8: the skip goes past the 11 bytes it claims.
        {"size 11", Chunk(11, 5 << 16, kTwelve), STG_E_INVALIDHEADER, 11},
        {"foreign object", Chunk(24, 6 << 16, kTwelve), STG_E_INVALIDHEADER, 24},
        {"size cut short", {24, 0, 0}, STG_E_READFAULT, 3},
        {"tag cut short", {24, 0, 0, 0, 0, 0, 0, 0, 0, 0}, STG_E_READFAULT, 24},
        {"data cut short", Chunk(24, 5 << 16, Bytes(kTwelve.begin(), kTwelve.begin() + 6)), STG_E_READFAULT, 24},
        {"less data claimed than read", Chunk(20, 5 << 16, kTwelve), STG_E_READFAULT, 20},
    };
    for (const auto& c : cases) {
        ThreeInts object;
        object.SetDirty(true);
        // Three junk bytes before the chunk; positions count from its start.
        Bytes all(3, 0xEE);
        all.insert(all.end(), c.chunk.begin(), c.chunk.end());
        ComPtr<IStream> s;
        *s.Put() = MemStream(all);
        s->Seek(LARGE_INTEGER{{3, 0}}, STREAM_SEEK_SET, nullptr);
        EXPECT_EQ(static_cast<DWORD>(object.Load(s.Get())), static_cast<DWORD>(c.hr)) << c.what;
        EXPECT_EQ(Position(s.Get()) - 3, c.position) << c.what;
        // A single-schema load leaves the flag as it was; the skip clears it.
        EXPECT_EQ(object.IsDirty(), c.hr == S_OK ? S_OK : S_FALSE) << c.what;
        if (c.hr == S_OK) {
            EXPECT_EQ(object.values[2], 3u) << c.what;
        }
    }
}

}  // namespace
