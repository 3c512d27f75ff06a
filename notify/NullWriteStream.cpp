#include "notify/NullWriteStream.h"

HRESULT CNullWriteStream::QueryInterface(REFIID riid, void** object) {
    if (!object) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_ISequentialStream) || IsEqualIID(riid, IID_IStream)) {
        *object = static_cast<IStream*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOTIMPL;
}

ULONG CNullWriteStream::AddRef() {
    return static_cast<ULONG>(InterlockedIncrement(&refs_));
}

ULONG CNullWriteStream::Release() {
    return static_cast<ULONG>(InterlockedDecrement(&refs_));
}

HRESULT CNullWriteStream::Read(void*, ULONG, ULONG*) {
    return E_NOTIMPL;
}

HRESULT CNullWriteStream::Write(const void*, ULONG size, ULONG* written) {
    position_ += size;
    if (position_ > size_) size_ = position_;
    if (written) *written = size;
    return S_OK;
}

HRESULT CNullWriteStream::Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* newPosition) {
    if (!newPosition) return STG_E_INVALIDPOINTER;
    LONGLONG base = 0;
    switch (origin) {
        case STREAM_SEEK_SET:
            base = 0;
            break;
        case STREAM_SEEK_CUR:
            base = static_cast<LONGLONG>(position_);
            break;
        case STREAM_SEEK_END:
            base = static_cast<LONGLONG>(size_);
            break;
        default:
            return STG_E_INVALIDFUNCTION;
    }
    LONGLONG target = base + move.QuadPart;
    if (target < 0 || (move.QuadPart > 0 && target < base)) return STG_E_INVALIDFUNCTION;
    position_ = static_cast<ULONGLONG>(target);
    if (position_ > size_) size_ = position_;
    newPosition->QuadPart = position_;
    return S_OK;
}

HRESULT CNullWriteStream::SetSize(ULARGE_INTEGER) {
    return E_NOTIMPL;
}

HRESULT CNullWriteStream::CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) {
    return E_NOTIMPL;
}

HRESULT CNullWriteStream::Commit(DWORD) {
    return E_NOTIMPL;
}

HRESULT CNullWriteStream::Revert() {
    return E_NOTIMPL;
}

HRESULT CNullWriteStream::LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) {
    return E_NOTIMPL;
}

HRESULT CNullWriteStream::UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) {
    return E_NOTIMPL;
}

HRESULT CNullWriteStream::Stat(STATSTG*, DWORD) {
    return E_NOTIMPL;
}

HRESULT CNullWriteStream::Clone(IStream**) {
    return E_NOTIMPL;
}
