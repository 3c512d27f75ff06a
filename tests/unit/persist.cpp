// The persistence chunk format behind the host notifications: the framing
// Save writes and GetSizeMax predicts, every check of Load with its error
// code and where it leaves the stream, several schemas of one object, the
// and Load against thousands of mutated payloads.
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
constexpr HRESULT kUnknown = static_cast<HRESULT>(0x800300FD);
constexpr HRESULT kPointer = static_cast<HRESULT>(0x80004003);

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

// Id 7 with schemas oldest..current: 1 a number, 2 a name, 3 a 64-bit stamp,
// 4 (only newer writers) one more number.
class Versioned : public CQelPersistObject {
public:
    Versioned(WORD current, WORD oldest = 1) : CQelPersistObject(7, current, oldest) {}
    HRESULT STDMETHODCALLTYPE PersistData(WORD schema, CQelStreamIo& io) override {
        loaded.push_back(schema);
        switch (schema) {
            case 1:
                return io.Value(number);
            case 2:
                return io.WideString(name);
            case 3:
                return io.Value(stamp);
            case 4:
                return io.Value(extra);
            default:
                return E_UNEXPECTED;
        }
    }
    DWORD number = 0, extra = 0;
    std::wstring name;
    ULONGLONG stamp = 0;
    std::vector<WORD> loaded;
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

template <class T>
T At(const Bytes& b, size_t offset) {
    T v{};
    if (offset + sizeof v <= b.size()) std::memcpy(&v, b.data() + offset, sizeof v);
    return v;
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
    EXPECT_EQ(object.GetSizeMax(nullptr), kPointer);
    EXPECT_EQ(object.Save(nullptr, TRUE), static_cast<HRESULT>(0x80030009));
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
    // Two chunks in a row load one after the other even when the first fails.
    Bytes both = Chunk(24, 6 << 16, kTwelve), second = Chunk(24, 5 << 16, {7, 0, 0, 0, 8, 0, 0, 0, 9, 0, 0, 0});
    both.insert(both.end(), second.begin(), second.end());
    ComPtr<IStream> s;
    *s.Put() = MemStream(both);
    ThreeInts object;
    EXPECT_EQ(object.Load(s.Get()), kInvalidHeader);
    EXPECT_EQ(object.Load(s.Get()), S_OK);
    EXPECT_EQ(object.values[0], 7u);
}

TEST(PersistSchemas, OneInnerChunkPerSchemaFromTheOldestUpAndNewerOnesSkipped) {
    Versioned writer(3);
    writer.number = 0x01020304;
    writer.name = L"Ab";
    writer.stamp = 0x1122334455667788ull;
    Bytes b = SavedBy(writer);
    // outer 12 + [12 + 4] + [12 + 4 + 6] + [12 + 8]
    ASSERT_EQ(b.size(), 70u);
    // Sizes (64-bit) and tags (object 7, schema) of the outer and inner chunks, then the data.
    const std::pair<size_t, ULONGLONG> sizes[] = {{0, 70}, {12, 16}, {28, 22}, {50, 20}, {62, 0x1122334455667788ull}};
    const std::pair<size_t, DWORD> words[] = {{8, 0x00070003},  {20, 0x00070001}, {24, 0x01020304},
                                              {36, 0x00070002}, {40, 6},          {58, 0x00070003}};
    for (const auto& [offset, value] : sizes) EXPECT_EQ(At<ULONGLONG>(b, offset), value) << "at " << offset;
    for (const auto& [offset, value] : words) EXPECT_EQ(At<DWORD>(b, offset), value) << "at " << offset;
    ULARGE_INTEGER max{};
    EXPECT_EQ(writer.GetSizeMax(&max), S_OK);
    EXPECT_EQ(max.QuadPart, 70u);

    // Read back whole; a newer writer's schema 4 is stepped over, and a reader
    // of schema 1 alone takes only that. Every schema loaded clears the flag.
    Versioned newer(4);
    newer.number = 5;
    newer.name = L"Ab";
    newer.extra = 0xCAFE;
    const std::tuple<Versioned*, WORD, size_t> reads[] = {{&writer, 3, 3}, {&newer, 3, 3}, {&newer, 1, 1}};
    for (const auto& [from, current, loaded] : reads) {
        Versioned reader(static_cast<WORD>(current), 1);
        reader.SetDirty(true);
        b = SavedBy(*from);
        LoadOutcome r = LoadAfterJunk(reader, b);
        EXPECT_EQ(r.hr, S_OK);
        EXPECT_EQ(r.position, b.size());
        EXPECT_EQ(reader.loaded.size(), loaded);
        EXPECT_EQ(reader.number, from->number);
        EXPECT_EQ(reader.name, current > 1 ? L"Ab" : L"");
        EXPECT_EQ(reader.extra, 0u);
        EXPECT_EQ(reader.IsDirty(), S_FALSE);
    }
}

TEST(PersistSchemas, MalformedInnerChunksAreSkippedWhole) {
    Versioned writer(3);
    writer.name = L"n";
    const Bytes good = SavedBy(writer);
    Bytes leftover = good, tooBig = good, tooSmall = good, foreign = good, cut = good;
    leftover.insert(leftover.end(), {1, 2, 3, 4});
    leftover[0] = static_cast<BYTE>(leftover.size());
    tooBig[12] = 200;
    tooSmall[12] = 11;
    foreign[22] = 8;  // the first inner chunk's object id
    cut.resize(40);
    const std::pair<const Bytes*, HRESULT> cases[] = {{&leftover, kUnknown},
                                                      {&tooBig, kInvalidHeader},
                                                      {&tooSmall, kInvalidHeader},
                                                      {&foreign, kInvalidHeader},
                                                      {&cut, kReadFault}};
    for (const auto& [chunk, hr] : cases) {
        Versioned reader(3);
        reader.SetDirty(true);
        LoadOutcome r = LoadAfterJunk(reader, *chunk);
        EXPECT_EQ(static_cast<DWORD>(r.hr), static_cast<DWORD>(hr));
        EXPECT_EQ(r.position, At<ULONGLONG>(*chunk, 0)) << "skipped past the whole chunk";
        EXPECT_EQ(reader.IsDirty(), S_FALSE);
    }
}

// ---- fuzzing ----

// A read-only stream over bytes that end right before an inaccessible page:
// touching anything past the payload faults at once.
class GuardedStream : public CNullWriteStream {
public:
    explicit GuardedStream(const Bytes& bytes) : size_(bytes.size()) {
        span_ = (size_ + 4095) / 4096 * 4096 + 4096;
        base_ = static_cast<BYTE*>(VirtualAlloc(nullptr, span_, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
        DWORD old = 0;
        VirtualProtect(base_ + span_ - 4096, 4096, PAGE_NOACCESS, &old);
        data_ = base_ + span_ - 4096 - size_;
        if (size_) std::memcpy(data_, bytes.data(), size_);
    }
    ~GuardedStream() override { VirtualFree(base_, 0, MEM_RELEASE); }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs_; }
    HRESULT STDMETHODCALLTYPE Read(void* out, ULONG n, ULONG* read) override {
        ULONG take = static_cast<ULONG>(std::min<ULONGLONG>(n, position_ < size_ ? size_ - position_ : 0));
        if (take) std::memcpy(out, data_ + position_, take);
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
    size_t size_, span_;
    BYTE *base_ = nullptr, *data_ = nullptr;
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
        GuardedStream stream(payload);
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
