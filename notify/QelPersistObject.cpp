// The per-schema helpers that run an object's data function, and the
// reference count of concrete persistable objects.
#include "notify/NullWriteStream.h"
#include "notify/QelPersist.h"

HRESULT CQelPersistCOMObject::ReadSchema(IStream* stream, DWORD tag, ULONGLONG available) {
    HRESULT hr = CheckTag(tag);
    if (FAILED(hr)) return hr;
    CQelStreamIo io(stream, kQelRead, 0, available);
    if (FAILED(hr = PersistData(QelTagSchema(tag), io))) return hr;
    if (io.Used() == available) return S_OK;
    // Data this object does not read (an older reader of a longer schema):
    // step over it so the stream ends where the chunk ends.
    LARGE_INTEGER over;
    over.QuadPart = static_cast<LONGLONG>(available - io.Used());
    ULARGE_INTEGER at{};
    return stream->Seek(over, STREAM_SEEK_CUR, &at);
}

HRESULT CQelPersistCOMObject::WriteSchema(IStream* stream, DWORD tag, ULONGLONG* written) {
    HRESULT hr = CheckTag(tag);
    if (FAILED(hr)) return hr;
    LARGE_INTEGER zero{};
    ULARGE_INTEGER start{}, end{};
    if (FAILED(hr = stream->Seek(zero, STREAM_SEEK_CUR, &start))) return hr;
    CQelStreamIo io(stream, kQelWrite, 0);
    if (FAILED(hr = PersistData(QelTagSchema(tag), io))) return hr;
    if (FAILED(hr = stream->Seek(zero, STREAM_SEEK_CUR, &end))) return hr;
    if (written) *written = end.QuadPart - start.QuadPart;
    return S_OK;
}

HRESULT CQelPersistCOMObject::MeasureSchema(WORD schema, ULONGLONG* size) {
    if (!size) return E_POINTER;
    HRESULT hr = CheckTag(MakeQelTag(ObjectId(), schema));
    if (FAILED(hr)) return hr;
    CNullWriteStream counter;
    CQelStreamIo io(&counter, kQelWrite, 0);
    if (FAILED(hr = PersistData(schema, io))) return hr;
    *size = counter.Size();
    return S_OK;
}

ULONG CQelPersistObject::AddRef() {
    return static_cast<ULONG>(InterlockedIncrement(&refs_));
}

ULONG CQelPersistObject::Release() {
    return static_cast<ULONG>(InterlockedDecrement(&refs_));
}
