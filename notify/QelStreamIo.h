// The stream wrapper a persistable object's data function works on: one
// function serves both directions, each field goes through Value or
// WideString, which write it or read it depending on the direction.
#pragma once

#include <windows.h>
#include <objidl.h>

#include <string>
#include <type_traits>

constexpr DWORD kQelRead = 0;
constexpr DWORD kQelWrite = 1;

class CQelStreamIo {
public:
    // In the read direction `limit` is the number of data bytes the chunk
    // holds; reads never go beyond it.
    CQelStreamIo(IStream* stream, DWORD direction, DWORD flags, ULONGLONG limit = ~0ull)
        : stream_(stream), direction_(direction), flags_(flags), limit_(limit) {}

    bool Writing() const { return direction_ == kQelWrite; }
    DWORD Flags() const { return flags_; }
    IStream* Stream() const { return stream_; }
    ULONGLONG Used() const { return used_; }

    // Writes or reads exactly `size` bytes: STG_E_WRITEFAULT / STG_E_READFAULT
    // when fewer moved, or the stream's own failure.
    HRESULT Bytes(void* data, ULONG size);

    template <class T>
    HRESULT Value(T& value) {
        static_assert(std::is_trivially_copyable<T>::value, "raw bytes only");
        return Bytes(&value, sizeof value);
    }

    // A 32-bit byte count including the terminating zero, then UTF-16LE
    // characters with the zero. Reading takes a negative count as 0 and keeps
    // the characters up to the first zero.
    HRESULT WideString(std::wstring& text);

private:
    HRESULT ReadWideString(std::wstring& text);

    IStream* stream_;
    DWORD direction_;
    DWORD flags_;
    ULONGLONG limit_;
    ULONGLONG used_ = 0;
};
