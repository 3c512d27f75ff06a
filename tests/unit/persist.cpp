// The persistence chunk format behind the host notifications: the framing
// Save writes and GetSizeMax predicts, every check of Load with its error
// code and where it leaves the stream, and Load against thousands of mutated
// payloads.
#include <gtest/gtest.h>

#include <shlwapi.h>

#include <cstring>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "core/Win32Owners.h"
#include "notify/NotificationMessage.h"
#include "notify/NullWriteStream.h"
#include "notify/QelPersist.h"

namespace {

using Bytes = std::vector<BYTE>;

constexpr HRESULT kInvalidHeader = static_cast<HRESULT>(0x800300FB);
constexpr HRESULT kReadFault = static_cast<HRESULT>(0x8003001E);

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

Bytes SavedBy(IPersistStream& object) {
    ComPtr<IStream> s;
    *s.Put() = MemStream();
    EXPECT_EQ(object.Save(s.Get(), TRUE), S_OK);
    ULARGE_INTEGER size{};
    IStream_Size(s.Get(), &size);
    Bytes out(static_cast<size_t>(size.QuadPart));
    IStream_Reset(s.Get());
    if (!out.empty()) IStream_Read(s.Get(), out.data(), static_cast<ULONG>(out.size()));
    return out;
}

Bytes Chunk(ULONGLONG size, DWORD tag, const Bytes& data) {
    Bytes b(12 + data.size());
    std::memcpy(b.data(), &size, 8);
    std::memcpy(b.data() + 8, &tag, 4);
    std::copy(data.begin(), data.end(), b.begin() + 12);
    return b;
}

const Bytes kTwelve = {1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0};

struct LoadOutcome {
    HRESULT hr;
    ULONGLONG position;  // relative to the chunk's start
};

// Loads from a stream that holds three junk bytes before the chunk.
LoadOutcome LoadAfterJunk(IPersistStream& object, const Bytes& chunk) {
    Bytes all(3, 0xEE);
    all.insert(all.end(), chunk.begin(), chunk.end());
    ComPtr<IStream> s;
    *s.Put() = MemStream(all);
    s->Seek(LARGE_INTEGER{{3, 0}}, STREAM_SEEK_SET, nullptr);
    HRESULT hr = object.Load(s.Get());
    return {hr, Position(s.Get()) - 3};
}

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
    // Written where the stream stands; the size counts only the chunk.
    ComPtr<IStream> s;
    *s.Put() = MemStream();
    s->Write("abcde", 5, nullptr);
    ASSERT_EQ(object.Save(s.Get(), TRUE), S_OK);
    EXPECT_EQ(Position(s.Get()), 29u);
}

TEST(PersistLoad, EachCheckAnswersItsCodeAndLeavesTheStreamWhereTheChunkSkipPutsIt) {
    Bytes trailing = kTwelve;
    trailing.insert(trailing.end(), {9, 9, 9, 9, 9, 9});
    const struct {
        const char* what;
        Bytes chunk;
        HRESULT hr;
        ULONGLONG position;
    } cases[] = {
        {"well formed", Chunk(24, 5 << 16, kTwelve), S_OK, 24},
        {"unread trailing data", Chunk(30, 5 << 16, trailing), S_OK, 30},
        // Stopped after the size field; 7 is not above 8, so it stays there.
        {"size 7", Chunk(7, 5 << 16, kTwelve), kInvalidHeader, 8},
        {"size 0", Chunk(0, 5 << 16, kTwelve), kInvalidHeader, 8},
        {"size 8", Chunk(8, 5 << 16, kTwelve), kInvalidHeader, 12},
        // Size 11 is above 8: the skip goes past the 11 bytes it claims.
        {"size 11", Chunk(11, 5 << 16, kTwelve), kInvalidHeader, 11},
        {"foreign object", Chunk(24, 6 << 16, kTwelve), kInvalidHeader, 24},
        {"foreign object and schema", Chunk(24, 0x00090002, kTwelve), kInvalidHeader, 24},
        {"size cut short", {24, 0, 0}, kReadFault, 3},
        {"tag cut short", {24, 0, 0, 0, 0, 0, 0, 0, 0, 0}, kReadFault, 24},
        {"data cut short", Chunk(24, 5 << 16, Bytes(kTwelve.begin(), kTwelve.begin() + 6)), kReadFault, 24},
        {"less data claimed than read", Chunk(20, 5 << 16, kTwelve), kReadFault, 20},
    };
    for (const auto& c : cases) {
        ThreeInts object;
        object.SetDirty(true);
        LoadOutcome r = LoadAfterJunk(object, c.chunk);
        EXPECT_EQ(static_cast<DWORD>(r.hr), static_cast<DWORD>(c.hr)) << c.what;
        EXPECT_EQ(r.position, c.position) << c.what;
        // A single-schema load leaves the flag as it was; the skip clears it.
        EXPECT_EQ(object.IsDirty(), c.hr == S_OK ? S_OK : S_FALSE) << c.what;
        if (c.hr == S_OK) {
            EXPECT_EQ(object.values[2], 3u) << c.what;
        }
    }
}

// A read-only stream that counts what it delivers and its references.
class CountingStream : public CNullWriteStream {
public:
    explicit CountingStream(const Bytes& bytes) : bytes_(bytes) {}
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs_; }
    HRESULT STDMETHODCALLTYPE Read(void* out, ULONG n, ULONG* read) override {
        ULONG take = static_cast<ULONG>(std::min<ULONGLONG>(n, position_ < size_ ? size_ - position_ : 0));
        if (take) std::memcpy(out, bytes_.data() + position_, take);
        position_ += take;
        delivered += take;
        if (read) *read = take;
        return take == n ? S_OK : S_FALSE;
    }
    // Past the end is allowed, as on real streams; reads there deliver nothing.
    HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* at) override {
        if (origin > STREAM_SEEK_END) return STG_E_INVALIDFUNCTION;
        LONGLONG base = origin == STREAM_SEEK_SET ? 0 : origin == STREAM_SEEK_CUR ? position_ : size_;
        LONGLONG target = base + move.QuadPart;
        if (target < 0 || (move.QuadPart > 0 && target < base)) return STG_E_INVALIDFUNCTION;
        position_ = static_cast<ULONGLONG>(target);
        if (at) at->QuadPart = position_;
        return S_OK;
    }
    ULONGLONG delivered = 0;
    ULONG refs_ = 1;

private:
    const Bytes bytes_;
    const size_t size_ = bytes_.size();
    ULONGLONG position_ = 0;
};

const DWORD kInteresting[] = {0,    1,    2,      3,      4,       7,          8,          11,         12,        13,
                              0x7F, 0xFF, 0x7FFF, 0xFFFF, 0x10000, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFE, 0xFFFFFFFF};

// One to four of: a flipped bit, a random byte, an interesting 32-bit value
// at a field boundary or anywhere, a cut, junk appended, a new size, a new tag.
Bytes Mutate(Bytes b, std::mt19937& rng) {
    auto pick = [&](size_t n) { return n ? static_cast<size_t>(rng() % n) : 0; };
    auto put = [&](size_t at, auto v) {
        if (at + sizeof v <= b.size()) std::memcpy(&b[at], &v, sizeof v);
    };
    for (int steps = 1 + static_cast<int>(rng() % 4); steps; --steps) {
        const size_t n = b.size();
        switch (rng() % 7) {
            case 0:
                if (n) b[pick(n)] ^= static_cast<BYTE>(1u << (rng() % 8));
                break;
            case 1:
                if (n) b[pick(n)] = static_cast<BYTE>(rng());
                break;
            case 2:
                if (n >= 4) put(rng() % 2 ? pick(n - 3) : pick((n - 3) / 4) * 4, kInteresting[pick(19)]);
                break;
            case 3:
                b.resize(pick(n + 1));
                break;
            case 4:
                for (size_t k = 1 + pick(40); k; --k) b.push_back(static_cast<BYTE>(rng()));
                break;
            case 5:
                put(0, rng() % 3 ? ULONGLONG{pick(n + 16)} : (ULONGLONG{rng()} << 32 | rng()));
                break;
            default:
                put(8, rng() % 2 ? kInteresting[pick(19)] : DWORD{rng() % 4});
                break;
        }
    }
    return b;
}

// Never a crash, never more taken than the payload holds, and every failure
// one of the layer's defined codes. Seeded, so a failure can be replayed.
TEST(PersistFuzz, MutatedAndTruncatedNotificationsFailOnlyWithDefinedCodes) {
    std::vector<Bytes> seeds;
    CIpcNotificationMessage m;
    m.category = 3;
    m.title = L"VST Scan";
    m.text = L"Scan started.";
    seeds.push_back(SavedBy(m.persist));
    m.text = std::wstring(1023, L'x');
    seeds.push_back(SavedBy(m.persist));
    m.title.clear();
    m.text.clear();
    seeds.push_back(SavedBy(m.persist));
    // The first framed as a newer writer would: outer tag schema 1, one inner
    // chunk of schema 0 and one of schema 1.
    Bytes outer = Chunk(0, 1, seeds[0]), newer = Chunk(16, 0x00000001, {0xAA, 0xBB, 0xCC, 0xDD});
    outer.insert(outer.end(), newer.begin(), newer.end());
    outer[0] = static_cast<BYTE>(outer.size());
    seeds.push_back(outer);

    const std::set<DWORD> defined = {0, 0x8003001E, 0x800300FB, 0x800300FD, 0x8007000E};
    std::mt19937 rng(20240611);
    const DWORD started = GetTickCount();
    int runs = 0, loaded = 0;
    for (; runs < 20000 && GetTickCount() - started < 20000; ++runs) {
        const Bytes payload = Mutate(seeds[runs % seeds.size()], rng);
        CountingStream stream(payload);
        CIpcNotificationMessage in;
        HRESULT hr = in.Load(&stream);
        ASSERT_TRUE(defined.count(static_cast<DWORD>(hr))) << "run " << runs << ": 0x" << std::hex << hr;
        // Each byte is taken once, except the size field the chunk skip reads again.
        ASSERT_LE(stream.delivered, payload.size() + (hr == S_OK ? 0 : 8)) << "run " << runs;
        ASSERT_EQ(stream.refs_, 1u) << "run " << runs << ": the stream reference is given back";
        if (hr == S_OK) {
            ++loaded;
            ASSERT_TRUE(in.messageType >= 0 && in.messageType <= 2 && in.category >= 0 && in.category <= 5 &&
                        in.level >= 0 && in.level <= 4)
                << "run " << runs;
            ASSERT_LE((in.title.size() + in.text.size()) * sizeof(wchar_t), payload.size()) << "run " << runs;
        }
        if (runs % 1000 == 0) {
            ASSERT_TRUE(HeapValidate(GetProcessHeap(), 0, nullptr)) << "run " << runs;
        }
    }
    EXPECT_GE(runs, 2000) << "enough cases within the time limit";
    EXPECT_GT(loaded, 0) << "some mutations still load (the mutator is not only breaking headers)";
    EXPECT_LT(loaded, runs) << "and most do not";
}

}  // namespace
