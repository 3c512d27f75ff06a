// The persistence chunk format: framing written by Save, what GetSizeMax
// predicts, every check of Load with its error code and where it leaves the
// stream, the COM answers of a persistable object, and multi-schema objects.
#include <gtest/gtest.h>

#include <shlwapi.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/Win32Owners.h"
#include "notify/QelPersist.h"

namespace {

using Bytes = std::vector<BYTE>;

constexpr HRESULT kInvalidHeader = static_cast<HRESULT>(0x800300FB);
constexpr HRESULT kReadFault = static_cast<HRESULT>(0x8003001E);
constexpr HRESULT kWriteFault = static_cast<HRESULT>(0x8003001D);
constexpr HRESULT kUnknown = static_cast<HRESULT>(0x800300FD);
constexpr HRESULT kInvalidPointer = static_cast<HRESULT>(0x80030009);
constexpr HRESULT kNotImpl = static_cast<HRESULT>(0x80004001);
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

// Writes nothing at all.
class NoData : public CQelPersistObject {
public:
    NoData() : CQelPersistObject(5, 0, 0) {}
    HRESULT STDMETHODCALLTYPE PersistData(WORD, CQelStreamIo&) override { return S_OK; }
};

// Id 7 with schemas oldest..current: schema 1 a number, 2 a name, 3 a 64-bit
// stamp, 4 (only newer writers) two more numbers.
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
            case 4: {
                HRESULT hr = io.Value(extra[0]);
                return FAILED(hr) ? hr : io.Value(extra[1]);
            }
            default:
                return E_UNEXPECTED;
        }
    }
    DWORD number = 0;
    std::wstring name;
    ULONGLONG stamp = 0;
    DWORD extra[2] = {0, 0};
    std::vector<WORD> loaded;
};

IStream* MemStream(const Bytes& bytes = {}) {
    return SHCreateMemStream(bytes.empty() ? nullptr : bytes.data(), static_cast<UINT>(bytes.size()));
}

ULONGLONG Position(IStream* s) {
    LARGE_INTEGER zero{};
    ULARGE_INTEGER at{};
    s->Seek(zero, STREAM_SEEK_CUR, &at);
    return at.QuadPart;
}

Bytes Contents(IStream* s) {
    ULARGE_INTEGER size{};
    IStream_Size(s, &size);
    Bytes out(static_cast<size_t>(size.QuadPart));
    IStream_Reset(s);
    if (!out.empty()) IStream_Read(s, out.data(), static_cast<ULONG>(out.size()));
    return out;
}

template <class T>
void Put(Bytes& b, T v) {
    const BYTE* p = reinterpret_cast<const BYTE*>(&v);
    b.insert(b.end(), p, p + sizeof v);
}

template <class T>
T At(const Bytes& b, size_t offset) {
    T v{};
    if (offset + sizeof v <= b.size()) std::memcpy(&v, b.data() + offset, sizeof v);
    return v;
}

Bytes SavedBy(CQelPersistStream& object) {
    ComPtr<IStream> s;
    *s.Put() = MemStream();
    EXPECT_EQ(object.Save(s.Get(), TRUE), S_OK);
    return Contents(s.Get());
}

// ---- Save and GetSizeMax ----

TEST(PersistSave, TwelveBytesOfDataMakeA24ByteChunkWithItsSizeFirst) {
    ThreeInts object;
    object.values[0] = 0x11111111;
    object.values[1] = 0x22222222;
    object.values[2] = 0x33333333;
    Bytes b = SavedBy(object);
    const Bytes expected = {24,   0,    0,    0,    0,    0,    0,    0,    0,    0,    5,    0,
                            0x11, 0x11, 0x11, 0x11, 0x22, 0x22, 0x22, 0x22, 0x33, 0x33, 0x33, 0x33};
    EXPECT_EQ(b, expected);
    ULARGE_INTEGER max{};
    EXPECT_EQ(object.GetSizeMax(&max), S_OK);
    EXPECT_EQ(max.QuadPart, 24u);
    EXPECT_EQ(object.GetSizeMax(nullptr), kPointer);
}

TEST(PersistSave, ChunkStartsWhereTheStreamStandsAndItsSizeCountsOnlyTheChunk) {
    ThreeInts object;
    ComPtr<IStream> s;
    *s.Put() = MemStream();
    const char junk[5] = {'a', 'b', 'c', 'd', 'e'};
    s->Write(junk, 5, nullptr);
    ASSERT_EQ(object.Save(s.Get(), TRUE), S_OK);
    EXPECT_EQ(Position(s.Get()), 29u) << "left at the end of the chunk";
    Bytes b = Contents(s.Get());
    ASSERT_EQ(b.size(), 29u);
    EXPECT_EQ(At<ULONGLONG>(b, 5), 24u);
}

TEST(PersistSave, AnObjectWithoutDataKeepsThePlaceholderSize) {
    NoData object;
    Bytes b = SavedBy(object);
    const Bytes expected = {8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 5, 0};
    EXPECT_EQ(b, expected);
    // Read back, the size 8 leaves no room for the tag: rejected, and the
    // stream stays after the 12 bytes, where the failed load stopped.
    ComPtr<IStream> s;
    *s.Put() = MemStream(b);
    EXPECT_EQ(object.Load(s.Get()), kInvalidHeader);
    EXPECT_EQ(Position(s.Get()), 12u);
}

TEST(PersistSave, NullStreamAndShortOrFailingWrites) {
    ThreeInts object;
    EXPECT_EQ(object.Save(nullptr, TRUE), kInvalidPointer);
    EXPECT_EQ(object.Load(nullptr), kInvalidPointer);
}

// A memory stream that accepts at most `budget` bytes in total, then moves
// fewer bytes than asked (or fails outright).
class TightStream : public IStream {
public:
    TightStream(ULONG budget, HRESULT failure) : budget_(budget), failure_(failure) { inner_ = MemStream(); }
    ~TightStream() { inner_->Release(); }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs_; }
    HRESULT STDMETHODCALLTYPE Read(void* p, ULONG n, ULONG* r) override { return inner_->Read(p, n, r); }
    HRESULT STDMETHODCALLTYPE Write(const void* p, ULONG n, ULONG* w) override {
        if (n > budget_) {
            if (FAILED(failure_)) return failure_;
            n = budget_;
        }
        budget_ -= n;
        return inner_->Write(p, n, w);
    }
    HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER m, DWORD o, ULARGE_INTEGER* p) override {
        return inner_->Seek(m, o, p);
    }
    HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Commit(DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Revert() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Stat(STATSTG*, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Clone(IStream**) override { return E_NOTIMPL; }
    ULONG refs() const { return refs_; }

private:
    IStream* inner_;
    ULONG budget_;
    HRESULT failure_;
    ULONG refs_ = 1;
};

TEST(PersistSave, AWriteThatMovesFewerBytesIsAWriteFaultAndAFailingOneKeepsItsCode) {
    for (ULONG budget : {0u, 4u, 8u, 11u, 12u, 16u, 23u, 24u, 31u}) {
        ThreeInts object;
        TightStream shortWrites(budget, S_OK);
        EXPECT_EQ(object.Save(&shortWrites, TRUE), kWriteFault) << "budget " << budget;
        EXPECT_EQ(shortWrites.refs(), 1u) << "the stream reference is given back on failure";
        TightStream failing(budget, E_ACCESSDENIED);
        EXPECT_EQ(object.Save(&failing, TRUE), E_ACCESSDENIED) << "budget " << budget;
    }
    ThreeInts object;
    TightStream roomy(32, S_OK);  // the chunk and the size written over its placeholder
    EXPECT_EQ(object.Save(&roomy, TRUE), S_OK);
}

// ---- Load ----

Bytes Chunk(ULONGLONG size, DWORD tag, const Bytes& data) {
    Bytes b;
    Put(b, size);
    Put(b, tag);
    b.insert(b.end(), data.begin(), data.end());
    return b;
}

const Bytes kTwelve = {1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0};

struct LoadOutcome {
    HRESULT hr;
    ULONGLONG position;
};

// Loads from a stream that holds `prefix` junk bytes before the chunk.
LoadOutcome LoadAfterPrefix(CQelPersistStream& object, const Bytes& chunk, size_t prefix = 3) {
    Bytes all(prefix, 0xEE);
    all.insert(all.end(), chunk.begin(), chunk.end());
    ComPtr<IStream> s;
    *s.Put() = MemStream(all);
    LARGE_INTEGER to;
    to.QuadPart = static_cast<LONGLONG>(prefix);
    s->Seek(to, STREAM_SEEK_SET, nullptr);
    HRESULT hr = object.Load(s.Get());
    return {hr, Position(s.Get()) - prefix};
}

TEST(PersistLoad, AWellFormedChunkLoadsAndTheStreamEndsAfterIt) {
    ThreeInts object;
    LoadOutcome r = LoadAfterPrefix(object, Chunk(24, 5 << 16, kTwelve));
    EXPECT_EQ(r.hr, S_OK);
    EXPECT_EQ(r.position, 24u);
    EXPECT_EQ(object.values[0], 1u);
    EXPECT_EQ(object.values[2], 3u);
}

TEST(PersistLoad, FailuresAnswerTheirCodeAndLeaveTheStreamWhereTheChunkSkipPutsIt) {
    struct Case {
        const char* what;
        Bytes chunk;
        HRESULT hr;
        ULONGLONG position;  // relative to the chunk start
    };
    Bytes truncatedSize = {24, 0, 0};
    Bytes truncatedTag = {24, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    Bytes shortData = Chunk(24, 5 << 16, Bytes(kTwelve.begin(), kTwelve.begin() + 6));
    const Case cases[] = {
        // Stopped after the size field; 7 is not above 8, so it stays there.
        {"size 7", Chunk(7, 5 << 16, kTwelve), kInvalidHeader, 8},
        {"size 0", Chunk(0, 5 << 16, kTwelve), kInvalidHeader, 8},
        // No room for the tag: stopped after the tag, the size is not above 8.
        {"size 8", Chunk(8, 5 << 16, kTwelve), kInvalidHeader, 12},
        // Size 11 is above 8: the skip goes past the 11 bytes it claims.
        {"size 11", Chunk(11, 5 << 16, kTwelve), kInvalidHeader, 11},
        {"foreign object", Chunk(24, 6 << 16, kTwelve), kInvalidHeader, 24},
        {"foreign object, schema too", Chunk(24, 0x00090002, kTwelve), kInvalidHeader, 24},
        {"size cut short", truncatedSize, kReadFault, 3},
        {"tag cut short", truncatedTag, kReadFault, 24},
        // The data ends early: the skip goes to where the chunk would end.
        {"data cut short", shortData, kReadFault, 24},
        {"chunk claims less data than read", Chunk(20, 5 << 16, kTwelve), kReadFault, 20},
    };
    for (const Case& c : cases) {
        ThreeInts object;
        object.SetDirty(true);
        LoadOutcome r = LoadAfterPrefix(object, c.chunk);
        EXPECT_EQ(static_cast<DWORD>(r.hr), static_cast<DWORD>(c.hr)) << c.what;
        EXPECT_EQ(r.position, c.position) << c.what;
        EXPECT_EQ(object.IsDirty(), S_FALSE) << c.what << ": the skip clears the dirty flag";
    }
}

TEST(PersistLoad, UnreadTrailingDataIsSteppedOverAndTheDirtyFlagIsKept) {
    ThreeInts object;
    object.SetDirty(true);
    Bytes data = kTwelve;
    data.insert(data.end(), {9, 9, 9, 9, 9, 9});
    LoadOutcome r = LoadAfterPrefix(object, Chunk(30, 5 << 16, data));
    EXPECT_EQ(r.hr, S_OK);
    EXPECT_EQ(r.position, 30u);
    EXPECT_EQ(object.values[1], 2u);
    EXPECT_EQ(object.IsDirty(), S_OK) << "a single-schema load leaves the flag as it was";
}

TEST(PersistLoad, TwoChunksInARowLoadOneAfterTheOtherEvenWhenTheFirstFails) {
    Bytes both = Chunk(24, 6 << 16, kTwelve);  // a foreign object first
    Bytes second = Chunk(24, 5 << 16, {7, 0, 0, 0, 8, 0, 0, 0, 9, 0, 0, 0});
    both.insert(both.end(), second.begin(), second.end());
    ComPtr<IStream> s;
    *s.Put() = MemStream(both);
    ThreeInts object;
    EXPECT_EQ(object.Load(s.Get()), kInvalidHeader);
    EXPECT_EQ(object.Load(s.Get()), S_OK);
    EXPECT_EQ(object.values[0], 7u);
    EXPECT_EQ(object.values[2], 9u);
}

// ---- COM behaviour ----

TEST(PersistCom, QueryInterfaceAnswersAndReferenceCounting) {
    ThreeInts object;
    EXPECT_EQ(object.RefCount(), 0);
    void* p = reinterpret_cast<void*>(1);
    ASSERT_EQ(object.QueryInterface(IID_IPersistStream, &p), S_OK);
    EXPECT_EQ(p, static_cast<void*>(static_cast<IPersistStream*>(&object)));
    ASSERT_EQ(object.QueryInterface(IID_IPersistStreamInit, &p), S_OK);
    EXPECT_EQ(p, static_cast<void*>(static_cast<IPersistStreamInit*>(&object)));
    ASSERT_EQ(object.QueryInterface(IID_IUnknown, &p), S_OK);
    EXPECT_EQ(p, static_cast<void*>(static_cast<IPersistStreamInit*>(&object)));
    EXPECT_NE(p, static_cast<void*>(static_cast<IPersistStream*>(&object)));
    EXPECT_EQ(object.RefCount(), 3);
    for (REFIID other : {IID_IPersist, IID_IStream, IID_IDispatch}) {
        p = reinterpret_cast<void*>(1);
        EXPECT_EQ(object.QueryInterface(other, &p), kNotImpl);
        EXPECT_EQ(p, nullptr);
    }
    EXPECT_EQ(object.RefCount(), 3) << "a refused interface adds no reference";
    EXPECT_EQ(object.QueryInterface(IID_IPersistStream, nullptr), kPointer);

    // Through either interface pointer the count is the same; reaching 0 does
    // not delete the object (it lives on the stack here).
    IPersistStreamInit* init = &object;
    IPersistStream* stream = &object;
    EXPECT_EQ(init->Release(), 2u);
    EXPECT_EQ(stream->Release(), 1u);
    EXPECT_EQ(stream->Release(), 0u);
    EXPECT_EQ(init->AddRef(), 1u);
    EXPECT_EQ(object.IsDirty(), S_FALSE);
}

TEST(PersistCom, ClassIdDirtyFlagAndInitNew) {
    ThreeInts object;
    CLSID id;
    std::memset(&id, 0xAB, sizeof id);
    EXPECT_EQ(object.GetClassID(&id), S_FALSE);
    EXPECT_TRUE(IsEqualGUID(id, GUID{}));
    EXPECT_EQ(object.GetClassID(nullptr), kPointer);

    IPersistStreamInit* init = &object;
    EXPECT_EQ(init->InitNew(), S_OK);
    EXPECT_EQ(init->IsDirty(), S_FALSE);
    object.SetDirty(true);
    EXPECT_EQ(init->IsDirty(), S_OK);

    ComPtr<IStream> s;
    *s.Put() = MemStream();
    EXPECT_EQ(init->Save(s.Get(), FALSE), S_OK);
    EXPECT_EQ(object.IsDirty(), S_OK) << "saved without clearing";
    EXPECT_EQ(static_cast<IPersistStream*>(&object)->Save(s.Get(), TRUE), S_OK);
    EXPECT_EQ(object.IsDirty(), S_FALSE);
}

TEST(PersistCom, ALockedObjectSavesAndLoadsAndGivesItsLockBack) {
    CRITICAL_SECTION lock;
    InitializeCriticalSection(&lock);
    class Locked : public CQelPersistObject {
    public:
        explicit Locked(CRITICAL_SECTION* cs) : CQelPersistObject(5, 0, 0, cs) {}
        HRESULT STDMETHODCALLTYPE PersistData(WORD, CQelStreamIo& io) override { return io.Value(v); }
        DWORD v = 42;
    } object(&lock);
    ComPtr<IStream> s;
    *s.Put() = MemStream();
    EXPECT_EQ(object.Save(s.Get(), TRUE), S_OK);
    IStream_Reset(s.Get());
    object.v = 0;
    EXPECT_EQ(object.Load(s.Get()), S_OK);
    EXPECT_EQ(object.v, 42u);
    ComPtr<IStream> bad;
    *bad.Put() = MemStream(Chunk(7, 5 << 16, kTwelve));
    EXPECT_EQ(object.Load(bad.Get()), kInvalidHeader) << "the failure path leaves the lock too";
    // Everything entered was left: another thread can take the lock now.
    HANDLE t = CreateThread(
        nullptr, 0,
        [](void* cs) -> DWORD { return TryEnterCriticalSection(static_cast<CRITICAL_SECTION*>(cs)) ? 1 : 0; }, &lock, 0,
        nullptr);
    WaitForSingleObject(t, 5000);
    DWORD entered = 0;
    GetExitCodeThread(t, &entered);
    CloseHandle(t);
    EXPECT_EQ(entered, 1u);
    DeleteCriticalSection(&lock);
}

// ---- several schemas ----

TEST(PersistSchemas, OneInnerChunkPerSchemaFromTheOldestUp) {
    Versioned object(3);
    object.number = 0x01020304;
    object.name = L"Ab";
    object.stamp = 0x1122334455667788ull;
    Bytes b = SavedBy(object);
    // outer 12 + [12 + 4] + [12 + 4 + 6] + [12 + 8]
    ASSERT_EQ(b.size(), 70u);
    EXPECT_EQ(At<ULONGLONG>(b, 0), 70u);
    EXPECT_EQ(At<DWORD>(b, 8), 0x00070003u);
    EXPECT_EQ(At<ULONGLONG>(b, 12), 16u);
    EXPECT_EQ(At<DWORD>(b, 20), 0x00070001u);
    EXPECT_EQ(At<DWORD>(b, 24), 0x01020304u);
    EXPECT_EQ(At<ULONGLONG>(b, 28), 22u);
    EXPECT_EQ(At<DWORD>(b, 36), 0x00070002u);
    EXPECT_EQ(At<DWORD>(b, 40), 6u);
    EXPECT_EQ(At<wchar_t>(b, 44), L'A');
    EXPECT_EQ(At<wchar_t>(b, 48), L'\0');
    EXPECT_EQ(At<ULONGLONG>(b, 50), 20u);
    EXPECT_EQ(At<DWORD>(b, 58), 0x00070003u);
    EXPECT_EQ(At<ULONGLONG>(b, 62), 0x1122334455667788ull);

    ULARGE_INTEGER max{};
    EXPECT_EQ(object.GetSizeMax(&max), S_OK);
    EXPECT_EQ(max.QuadPart, 70u);
}

TEST(PersistSchemas, RoundTripLoadsEverySchemaAndClearsTheDirtyFlag) {
    Versioned writer(3);
    writer.number = 77;
    writer.name = L"Reverb";
    writer.stamp = 123456789;
    Bytes b = SavedBy(writer);

    Versioned reader(3);
    reader.SetDirty(true);
    LoadOutcome r = LoadAfterPrefix(reader, b);
    EXPECT_EQ(r.hr, S_OK);
    EXPECT_EQ(r.position, b.size());
    EXPECT_EQ(reader.number, 77u);
    EXPECT_EQ(reader.name, L"Reverb");
    EXPECT_EQ(reader.stamp, 123456789u);
    EXPECT_EQ(reader.loaded, (std::vector<WORD>{1, 2, 3}));
    EXPECT_EQ(reader.IsDirty(), S_FALSE);
}

TEST(PersistSchemas, ANewerWritersUnknownSchemaIsSkipped) {
    Versioned writer(4);
    writer.number = 5;
    writer.name = L"x";
    writer.stamp = 6;
    writer.extra[0] = writer.extra[1] = 0xCAFE;
    Bytes b = SavedBy(writer);
    b.insert(b.end(), {0x5A, 0x5A});  // whatever follows the chunk

    Versioned reader(3);
    LoadOutcome r = LoadAfterPrefix(reader, b);
    EXPECT_EQ(r.hr, S_OK);
    EXPECT_EQ(r.position, b.size() - 2) << "ends exactly after the chunk";
    EXPECT_EQ(reader.loaded, (std::vector<WORD>{1, 2, 3}));
    EXPECT_EQ(reader.stamp, 6u);
    EXPECT_EQ(reader.extra[0], 0u);

    // A reader that knows only schema 1 takes that and steps over the rest.
    Versioned oldest(1, 1);
    r = LoadAfterPrefix(oldest, b);
    EXPECT_EQ(r.hr, S_OK);
    EXPECT_EQ(oldest.loaded, (std::vector<WORD>{1}));
    EXPECT_EQ(oldest.number, 5u);
    EXPECT_EQ(oldest.name, L"");
}

TEST(PersistSchemas, AChunkOfTheOldestSchemaAloneIsReadDirectly) {
    Versioned old(1, 1);
    old.number = 31;
    Bytes b = SavedBy(old);
    ASSERT_EQ(b.size(), 16u);
    Versioned reader(3);
    LoadOutcome r = LoadAfterPrefix(reader, b);
    EXPECT_EQ(r.hr, S_OK);
    EXPECT_EQ(reader.number, 31u);
    EXPECT_EQ(reader.loaded, (std::vector<WORD>{1}));
}

TEST(PersistSchemas, MalformedInnerChunksAndLeftoverBytes) {
    Versioned writer(3);
    writer.name = L"n";
    const Bytes good = SavedBy(writer);

    struct Case {
        const char* what;
        Bytes chunk;
        HRESULT hr;
    };
    Bytes leftover = good;
    leftover.insert(leftover.end(), {1, 2, 3, 4});
    leftover[0] = static_cast<BYTE>(leftover.size());
    Bytes innerTooBig = good;
    innerTooBig[12] = 200;
    Bytes innerTooSmall = good;
    innerTooSmall[12] = 11;
    Bytes innerForeign = good;
    innerForeign[22] = 8;  // the first inner chunk's object id
    Bytes cut = good;
    cut.resize(40);
    const Case cases[] = {
        {"four bytes after the inner chunks", leftover, kUnknown},
        {"inner chunk larger than the outer", innerTooBig, kInvalidHeader},
        {"inner chunk smaller than its header", innerTooSmall, kInvalidHeader},
        {"inner chunk of another object", innerForeign, kInvalidHeader},
        {"stream ends inside an inner chunk", cut, kReadFault},
    };
    for (const Case& c : cases) {
        Versioned reader(3);
        reader.SetDirty(true);
        LoadOutcome r = LoadAfterPrefix(reader, c.chunk);
        EXPECT_EQ(static_cast<DWORD>(r.hr), static_cast<DWORD>(c.hr)) << c.what;
        EXPECT_EQ(r.position, At<ULONGLONG>(c.chunk, 0)) << c.what << ": skipped past the whole chunk";
        EXPECT_EQ(reader.IsDirty(), S_FALSE) << c.what;
    }
}

}  // namespace
