// A stream that stores nothing and only counts: a data function written
// against it reports how many bytes it would write.
#pragma once

#include <windows.h>
#include <objidl.h>

class CNullWriteStream : public IStream {
public:
    CNullWriteStream() = default;
    virtual ~CNullWriteStream() = default;
    CNullWriteStream(const CNullWriteStream&) = delete;
    CNullWriteStream& operator=(const CNullWriteStream&) = delete;

    ULONGLONG Position() const { return position_; }
    ULONGLONG Size() const { return size_; }

    // IUnknown: the object lives on its owner's stack; Release only counts.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // ISequentialStream
    HRESULT STDMETHODCALLTYPE Read(void* data, ULONG size, ULONG* read) override;
    HRESULT STDMETHODCALLTYPE Write(const void* data, ULONG size, ULONG* written) override;

    // IStream
    HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* newPosition) override;
    HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER size) override;
    HRESULT STDMETHODCALLTYPE CopyTo(IStream* target, ULARGE_INTEGER size, ULARGE_INTEGER* read,
                                     ULARGE_INTEGER* written) override;
    HRESULT STDMETHODCALLTYPE Commit(DWORD flags) override;
    HRESULT STDMETHODCALLTYPE Revert() override;
    HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER offset, ULARGE_INTEGER size, DWORD type) override;
    HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER offset, ULARGE_INTEGER size, DWORD type) override;
    HRESULT STDMETHODCALLTYPE Stat(STATSTG* stat, DWORD flags) override;
    HRESULT STDMETHODCALLTYPE Clone(IStream** stream) override;

private:
    LONG refs_ = 1;
    ULONGLONG position_ = 0;
    ULONGLONG size_ = 0;
};
