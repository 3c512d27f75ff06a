// Load against thousands of mutated and truncated payloads: it must never
// crash, never take more than the payload holds, and every failure must be
// one of the layer's defined codes. Seeded, so a failure can be replayed.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <set>
#include <string>
#include <vector>

#include <shlwapi.h>

#include "core/Win32Owners.h"
#include "notify/NotificationMessage.h"

namespace {

using Bytes = std::vector<BYTE>;

// A read-only stream over bytes that end right before an inaccessible page:
// touching anything past the payload faults at once. Seeking past the end is
// allowed, as on real streams; reads there deliver nothing.
class GuardedStream : public IStream {
public:
    explicit GuardedStream(const Bytes& bytes) : size_(bytes.size()) {
        SYSTEM_INFO info;
        GetSystemInfo(&info);
        page_ = info.dwPageSize;
        span_ = (size_ + page_ - 1) / page_ * page_ + page_;
        base_ = static_cast<BYTE*>(VirtualAlloc(nullptr, span_, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
        DWORD old = 0;
        VirtualProtect(base_ + span_ - page_, page_, PAGE_NOACCESS, &old);
        data_ = base_ + span_ - page_ - size_;
        if (size_) std::memcpy(data_, bytes.data(), size_);
    }
    ~GuardedStream() { VirtualFree(base_, 0, MEM_RELEASE); }
    GuardedStream(const GuardedStream&) = delete;
    GuardedStream& operator=(const GuardedStream&) = delete;

    ULONGLONG delivered = 0;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs_; }
    HRESULT STDMETHODCALLTYPE Read(void* out, ULONG n, ULONG* read) override {
        ULONGLONG available = position_ < size_ ? size_ - position_ : 0;
        ULONG take = n < available ? n : static_cast<ULONG>(available);
        if (take) std::memcpy(out, data_ + position_, take);
        position_ += take;
        delivered += take;
        if (read) *read = take;
        return take == n ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Write(const void*, ULONG, ULONG*) override { return STG_E_ACCESSDENIED; }
    HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* at) override {
        LONGLONG base = origin == STREAM_SEEK_SET   ? 0
                        : origin == STREAM_SEEK_CUR ? static_cast<LONGLONG>(position_)
                                                    : static_cast<LONGLONG>(size_);
        if (origin > STREAM_SEEK_END) return STG_E_INVALIDFUNCTION;
        LONGLONG target = base + move.QuadPart;
        if (target < 0 || (move.QuadPart > 0 && target < base)) return STG_E_INVALIDFUNCTION;
        position_ = static_cast<ULONGLONG>(target);
        if (at) at->QuadPart = position_;
        return S_OK;
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
    size_t size_;
    size_t page_ = 4096;
    size_t span_ = 0;
    BYTE* base_ = nullptr;
    BYTE* data_ = nullptr;
    ULONGLONG position_ = 0;
    ULONG refs_ = 1;
};

Bytes Saved(CNotificationMessage& m) {
    ComPtr<IStream> s;
    *s.Put() = SHCreateMemStream(nullptr, 0);
    m.persist.Save(s.Get(), TRUE);
    ULARGE_INTEGER size{};
    IStream_Size(s.Get(), &size);
    Bytes out(static_cast<size_t>(size.QuadPart));
    IStream_Reset(s.Get());
    IStream_Read(s.Get(), out.data(), static_cast<ULONG>(out.size()));
    return out;
}

std::vector<Bytes> Seeds() {
    std::vector<Bytes> seeds;
    CIpcNotificationMessage m;
    m.category = 3;
    m.title = L"VST Scan";
    m.text = L"Scan started.";
    seeds.push_back(Saved(m));
    m.title.clear();
    m.text.clear();
    seeds.push_back(Saved(m));
    m.title = L"VST Scan";
    m.text = std::wstring(1023, L'x');
    seeds.push_back(Saved(m));
    // The same message framed as a newer writer would: outer tag schema 1,
    // one inner chunk of schema 0 and one of schema 1.
    Bytes inner = seeds[0];
    Bytes newer = {16, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0xAA, 0xBB, 0xCC, 0xDD};
    Bytes outer(12, 0);
    outer.insert(outer.end(), inner.begin(), inner.end());
    outer.insert(outer.end(), newer.begin(), newer.end());
    outer[0] = static_cast<BYTE>(outer.size());
    outer[1] = static_cast<BYTE>(outer.size() >> 8);
    outer[8] = 1;
    seeds.push_back(outer);
    return seeds;
}

const DWORD kInteresting[] = {0,    1,    2,      3,      4,       7,          8,          11,         12,        13,
                              0x7F, 0xFF, 0x7FFF, 0xFFFF, 0x10000, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFE, 0xFFFFFFFF};

Bytes Mutate(Bytes b, std::mt19937& rng) {
    auto pick = [&](size_t n) { return n ? static_cast<size_t>(rng() % n) : 0; };
    int steps = 1 + static_cast<int>(rng() % 4);
    for (int i = 0; i < steps; ++i) {
        switch (rng() % 7) {
            case 0:  // flip a bit
                if (!b.empty()) b[pick(b.size())] ^= static_cast<BYTE>(1u << (rng() % 8));
                break;
            case 1:  // a random byte
                if (!b.empty()) b[pick(b.size())] = static_cast<BYTE>(rng());
                break;
            case 2:  // an interesting 32-bit value at a field boundary or anywhere
                if (b.size() >= 4) {
                    size_t at = rng() % 2 ? pick(b.size() - 3) : (pick((b.size() - 3) / 4) * 4);
                    DWORD v = kInteresting[pick(sizeof kInteresting / sizeof kInteresting[0])];
                    std::memcpy(&b[at], &v, 4);
                }
                break;
            case 3:  // truncate
                b.resize(pick(b.size() + 1));
                break;
            case 4:  // append junk
                for (size_t n = 1 + pick(40); n; --n) b.push_back(static_cast<BYTE>(rng()));
                break;
            case 5:  // a new size field
                if (b.size() >= 8) {
                    ULONGLONG v = rng() % 3 == 0 ? (static_cast<ULONGLONG>(rng()) << 32 | rng()) : pick(b.size() + 16);
                    std::memcpy(&b[0], &v, 8);
                }
                break;
            default:  // a new tag
                if (b.size() >= 12) {
                    DWORD v = rng() % 2 ? kInteresting[pick(sizeof kInteresting / sizeof kInteresting[0])] : rng() % 4;
                    std::memcpy(&b[8], &v, 4);
                }
                break;
        }
    }
    return b;
}

TEST(PersistFuzz, MutatedAndTruncatedPayloadsNeverCrashAndFailOnlyWithDefinedCodes) {
    const std::set<DWORD> defined = {
        0,           // S_OK
        0x8003001E,  // STG_E_READFAULT
        0x800300FB,  // STG_E_INVALIDHEADER
        0x800300FD,  // STG_E_UNKNOWN
        0x8007000E,  // E_OUTOFMEMORY
    };
    const std::vector<Bytes> seeds = Seeds();
    std::mt19937 rng(20240611);
    const DWORD started = GetTickCount();
    int runs = 0, loaded = 0;
    for (; runs < 20000 && GetTickCount() - started < 20000; ++runs) {
        const Bytes payload = Mutate(seeds[runs % seeds.size()], rng);
        GuardedStream stream(payload);
        CIpcNotificationMessage m;
        HRESULT hr = m.Load(&stream);
        ASSERT_TRUE(defined.count(static_cast<DWORD>(hr))) << "run " << runs << ": 0x" << std::hex << hr;
        // Each byte is taken once, except the size field the chunk skip reads again.
        ASSERT_LE(stream.delivered, payload.size() + (hr == S_OK ? 0 : 8)) << "run " << runs;
        ASSERT_EQ(stream.refs(), 1u) << "run " << runs << ": the stream reference is given back";
        if (hr == S_OK) {
            ++loaded;
            ASSERT_GE(m.messageType, 0);
            ASSERT_LE(m.messageType, 2);
            ASSERT_GE(m.category, 0);
            ASSERT_LE(m.category, 5);
            ASSERT_GE(m.level, 0);
            ASSERT_LE(m.level, 4);
            ASSERT_LE((m.title.size() + m.text.size()) * sizeof(wchar_t), payload.size()) << "run " << runs;
        }
        if (runs % 1000 == 0) {
            ASSERT_TRUE(HeapValidate(GetProcessHeap(), 0, nullptr)) << "run " << runs;
        }
    }
    EXPECT_GE(runs, 2000) << "enough cases within the time limit";
    EXPECT_GT(loaded, 0) << "some mutations still load (the mutator is not only breaking headers)";
    EXPECT_LT(loaded, runs) << "and most do not";
    RecordProperty("runs", runs);
    RecordProperty("loaded", loaded);
}

}  // namespace
