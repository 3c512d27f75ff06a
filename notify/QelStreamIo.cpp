#include "notify/QelStreamIo.h"

#include <cstdint>
#include <new>
#include <vector>

HRESULT CQelStreamIo::Bytes(void* data, ULONG size) {
    if (!stream_) return STG_E_INVALIDPOINTER;
    ULONG moved = 0;
    if (Writing()) {
        HRESULT hr = stream_->Write(data, size, &moved);
        if (FAILED(hr)) return hr;
        if (moved != size) return STG_E_WRITEFAULT;
    } else {
        // The chunk ends before the field: the same as a short read, without
        // touching bytes that belong to whatever follows the chunk.
        if (size > limit_ - used_) return STG_E_READFAULT;
        HRESULT hr = stream_->Read(data, size, &moved);
        if (FAILED(hr)) return hr;
        if (moved != size) return STG_E_READFAULT;
    }
    used_ += size;
    return S_OK;
}

HRESULT CQelStreamIo::WideString(std::wstring& text) {
    if (!Writing()) return ReadWideString(text);
    size_t chars = text.size() + 1;
    if (chars > 0x3FFFFFFF) return E_INVALIDARG;
    int32_t count = static_cast<int32_t>(chars * sizeof(wchar_t));
    HRESULT hr = Value(count);
    if (FAILED(hr)) return hr;
    return Bytes(const_cast<wchar_t*>(text.c_str()), static_cast<ULONG>(count));
}

HRESULT CQelStreamIo::ReadWideString(std::wstring& text) {
    int32_t count = 0;
    HRESULT hr = Value(count);
    if (FAILED(hr)) return hr;
    if (count < 0) count = 0;
    if (static_cast<ULONGLONG>(count) > limit_ - used_) return STG_E_READFAULT;

    // Grown block by block, so a count that claims far more than the stream
    // holds costs no more memory than the bytes actually there.
    constexpr ULONG kBlock = 4096;
    std::vector<BYTE> bytes;
    try {
        ULONG done = 0;
        ULONG total = static_cast<ULONG>(count);
        while (done < total) {
            ULONG piece = total - done < kBlock ? total - done : kBlock;
            bytes.resize(done + piece);
            hr = Bytes(bytes.data() + done, piece);
            if (FAILED(hr)) return hr;
            done += piece;
        }
        size_t chars = bytes.size() / sizeof(wchar_t);
        const wchar_t* begin = reinterpret_cast<const wchar_t*>(bytes.data());
        size_t length = 0;
        while (length < chars && begin[length] != L'\0') ++length;
        text.assign(begin, length);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}
