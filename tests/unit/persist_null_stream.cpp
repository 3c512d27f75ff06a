// The counting stream behind GetSizeMax: it stores nothing, moves and grows
// like a real stream, and refuses everything else.
#include <gtest/gtest.h>

#include "notify/NullWriteStream.h"

namespace {

constexpr HRESULT kInvalidFunction = static_cast<HRESULT>(0x80030001);
constexpr HRESULT kInvalidPointer = static_cast<HRESULT>(0x80030009);
constexpr HRESULT kNotImpl = static_cast<HRESULT>(0x80004001);

LARGE_INTEGER Move(LONGLONG n) {
    LARGE_INTEGER m;
    m.QuadPart = n;
    return m;
}

TEST(NullWriteStream, WritesCountAndASeekBackKeepsTheSize) {
    CNullWriteStream s;
    BYTE data[16] = {};
    ULONG written = 0;
    EXPECT_EQ(s.Write(data, 4, &written), S_OK);
    EXPECT_EQ(written, 4u);
    EXPECT_EQ(s.Write(data, 16, &written), S_OK);
    EXPECT_EQ(written, 16u);
    ULARGE_INTEGER at{};
    EXPECT_EQ(s.Seek(Move(0), STREAM_SEEK_SET, &at), S_OK);
    EXPECT_EQ(at.QuadPart, 0u);
    EXPECT_EQ(s.Position(), 0u);
    EXPECT_EQ(s.Size(), 20u);
    // Writing inside what is there does not grow it; writing past does.
    EXPECT_EQ(s.Write(data, 8, nullptr), S_OK);
    EXPECT_EQ(s.Size(), 20u);
    EXPECT_EQ(s.Write(data, 16, nullptr), S_OK);
    EXPECT_EQ(s.Position(), 24u);
    EXPECT_EQ(s.Size(), 24u);
}

TEST(NullWriteStream, SeeksFromEachOriginAndRefusesToGoBeforeTheStart) {
    struct Step {
        LONGLONG move;
        DWORD origin;
        HRESULT hr;
        ULONGLONG position;
        ULONGLONG size;
    };
    const Step steps[] = {
        {10, STREAM_SEEK_SET, S_OK, 10, 10},  // a seek past the end grows the size
        {-4, STREAM_SEEK_CUR, S_OK, 6, 10},
        {5, STREAM_SEEK_CUR, S_OK, 11, 11},
        {-3, STREAM_SEEK_END, S_OK, 8, 11},
        {2, STREAM_SEEK_END, S_OK, 13, 13},
        {-14, STREAM_SEEK_END, kInvalidFunction, 13, 13},  // before the start: nothing moves
        {-14, STREAM_SEEK_CUR, kInvalidFunction, 13, 13},
        {-1, STREAM_SEEK_SET, kInvalidFunction, 13, 13},
        {0, 3, kInvalidFunction, 13, 13},  // no such origin
        {-13, STREAM_SEEK_CUR, S_OK, 0, 13},
    };
    CNullWriteStream s;
    for (const Step& step : steps) {
        ULARGE_INTEGER at{};
        EXPECT_EQ(s.Seek(Move(step.move), step.origin, &at), step.hr) << step.move << " from " << step.origin;
        if (step.hr == S_OK) {
            EXPECT_EQ(at.QuadPart, step.position);
        }
        EXPECT_EQ(s.Position(), step.position) << step.move << " from " << step.origin;
        EXPECT_EQ(s.Size(), step.size) << step.move << " from " << step.origin;
    }
    EXPECT_EQ(s.Seek(Move(4), STREAM_SEEK_SET, nullptr), kInvalidPointer);
    EXPECT_EQ(s.Position(), 0u) << "a refused seek does not move";
}

TEST(NullWriteStream, EverythingElseIsNotImplemented) {
    CNullWriteStream s;
    BYTE data[4];
    ULONG read = 7;
    ULARGE_INTEGER n{};
    STATSTG stat{};
    IStream* clone = nullptr;
    EXPECT_EQ(s.Read(data, 4, &read), kNotImpl);
    EXPECT_EQ(s.SetSize(n), kNotImpl);
    EXPECT_EQ(s.CopyTo(&s, n, nullptr, nullptr), kNotImpl);
    EXPECT_EQ(s.Commit(0), kNotImpl);
    EXPECT_EQ(s.Revert(), kNotImpl);
    EXPECT_EQ(s.LockRegion(n, n, 0), kNotImpl);
    EXPECT_EQ(s.UnlockRegion(n, n, 0), kNotImpl);
    EXPECT_EQ(s.Stat(&stat, 0), kNotImpl);
    EXPECT_EQ(s.Clone(&clone), kNotImpl);
}

TEST(NullWriteStream, InterfacesAndCountingReferences) {
    CNullWriteStream s;
    void* p = nullptr;
    for (REFIID iid : {IID_IUnknown, IID_ISequentialStream, IID_IStream}) {
        p = nullptr;
        EXPECT_EQ(s.QueryInterface(iid, &p), S_OK);
        EXPECT_EQ(p, static_cast<void*>(static_cast<IStream*>(&s)));
    }
    p = reinterpret_cast<void*>(1);
    EXPECT_EQ(s.QueryInterface(IID_IPersistStream, &p), kNotImpl);
    EXPECT_EQ(p, nullptr);
    // Started at 1, three interfaces handed out.
    EXPECT_EQ(s.AddRef(), 5u);
    for (ULONG expected : {4u, 3u, 2u, 1u, 0u}) EXPECT_EQ(s.Release(), expected);
    // Not freed at 0: the object still answers.
    EXPECT_EQ(s.Write(p, 3, nullptr), S_OK);
    EXPECT_EQ(s.Size(), 3u);
}

}  // namespace
