// Chunk framing: Save with its size patched in, GetSizeMax, Load with every
// check, and the skip of a chunk that failed to load.
#include "notify/QelPersist.h"

namespace {

// Holds the object's critical section, when it has one.
class Locked {
public:
    explicit Locked(CRITICAL_SECTION* lock) : lock_(lock) {
        if (lock_) EnterCriticalSection(lock_);
    }
    ~Locked() {
        if (lock_) LeaveCriticalSection(lock_);
    }
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;

private:
    CRITICAL_SECTION* lock_;
};

HRESULT Tell(IStream* stream, ULONGLONG* position) {
    LARGE_INTEGER zero{};
    ULARGE_INTEGER at{};
    HRESULT hr = stream->Seek(zero, STREAM_SEEK_CUR, &at);
    if (SUCCEEDED(hr)) *position = at.QuadPart;
    return hr;
}

HRESULT SeekTo(IStream* stream, ULONGLONG position) {
    LARGE_INTEGER to;
    to.QuadPart = static_cast<LONGLONG>(position);
    ULARGE_INTEGER at{};
    return stream->Seek(to, STREAM_SEEK_SET, &at);
}

HRESULT WriteExact(IStream* stream, const void* data, ULONG size) {
    ULONG moved = 0;
    HRESULT hr = stream->Write(data, size, &moved);
    if (FAILED(hr)) return hr;
    return moved == size ? S_OK : STG_E_WRITEFAULT;
}

HRESULT ReadExact(IStream* stream, void* data, ULONG size) {
    ULONG moved = 0;
    HRESULT hr = stream->Read(data, size, &moved);
    if (FAILED(hr)) return hr;
    return moved == size ? S_OK : STG_E_READFAULT;
}

// Writes the final size over the placeholder at `start` and returns to `end`.
HRESULT PatchSize(IStream* stream, ULONGLONG start, ULONGLONG size, ULONGLONG end) {
    HRESULT hr = SeekTo(stream, start);
    if (SUCCEEDED(hr)) hr = WriteExact(stream, &size, sizeof size);
    HRESULT back = SeekTo(stream, end);
    return FAILED(hr) ? hr : back;
}

// Holds a reference on the stream for the length of one operation.
class StreamRef {
public:
    explicit StreamRef(IStream* stream) : stream_(stream) { stream_->AddRef(); }
    ~StreamRef() { stream_->Release(); }
    StreamRef(const StreamRef&) = delete;
    StreamRef& operator=(const StreamRef&) = delete;

private:
    IStream* stream_;
};

}  // namespace

HRESULT CQelPersistStream::QueryInterface(REFIID riid, void** object) {
    if (!object) return E_POINTER;
    if (IsEqualIID(riid, IID_IPersistStream)) {
        *object = static_cast<IPersistStream*>(this);
    } else if (IsEqualIID(riid, IID_IPersistStreamInit) || IsEqualIID(riid, IID_IUnknown)) {
        *object = static_cast<IPersistStreamInit*>(this);
    } else {
        *object = nullptr;
        return E_NOTIMPL;
    }
    AddRef();
    return S_OK;
}

HRESULT CQelPersistStream::GetClassID(CLSID* classId) {
    if (!classId) return E_POINTER;
    *classId = CLSID{};
    return S_FALSE;
}

HRESULT CQelPersistStream::IsDirty() {
    Locked hold(lock_);
    return dirty_ ? S_OK : S_FALSE;
}

HRESULT CQelPersistStream::InitNew() {
    return S_OK;
}

HRESULT CQelPersistStream::LoadInstance(IStream*, DWORD) {
    return E_NOTIMPL;
}

bool CQelPersistStream::UseToc() const {
    return false;
}

bool CQelPersistStream::IsCurrentSchema(WORD schema) const {
    return schema == currentSchema_;
}

HRESULT CQelPersistStream::CheckTag(DWORD tag) const {
    if (QelTagObject(tag) != objectId_ || QelTagSchema(tag) > currentSchema_) return E_INVALIDARG;
    return S_OK;
}

// ---- Save ----

HRESULT CQelPersistStream::Save(IStream* stream, BOOL clearDirty) {
    if (!stream) return STG_E_INVALIDPOINTER;
    Locked hold(lock_);
    StreamRef ref(stream);
    return SaveLocked(stream, clearDirty);
}

HRESULT CQelPersistStream::WriteInnerChunk(IStream* stream, WORD schema, ULONGLONG* chunkSize) {
    ULONGLONG start = 0;
    HRESULT hr = Tell(stream, &start);
    if (FAILED(hr)) return hr;
    ULONGLONG placeholder = 8;
    DWORD tag = MakeQelTag(objectId_, schema);
    if (FAILED(hr = WriteExact(stream, &placeholder, sizeof placeholder))) return hr;
    if (FAILED(hr = WriteExact(stream, &tag, sizeof tag))) return hr;
    ULONGLONG data = 0;
    if (FAILED(hr = WriteSchema(stream, tag, &data))) return hr;
    ULONGLONG end = 0;
    if (FAILED(hr = Tell(stream, &end))) return hr;
    *chunkSize = kQelChunkHeader + data;
    if (*chunkSize != end - start) return STG_E_WRITEFAULT;
    return PatchSize(stream, start, *chunkSize, end);
}

HRESULT CQelPersistStream::SaveLocked(IStream* stream, BOOL clearDirty) {
    ULONGLONG start = 0;
    HRESULT hr = Tell(stream, &start);
    if (FAILED(hr)) return hr;
    ULONGLONG placeholder = 8;
    DWORD tag = MakeQelTag(objectId_, currentSchema_);
    if (FAILED(hr = WriteExact(stream, &placeholder, sizeof placeholder))) return hr;
    if (FAILED(hr = WriteExact(stream, &tag, sizeof tag))) return hr;

    ULONGLONG data = 0;
    if (currentSchema_ == oldestSchema_) {
        hr = WriteSchema(stream, tag, &data);
    } else {
        for (WORD schema = oldestSchema_; SUCCEEDED(hr) && schema <= currentSchema_; ++schema) {
            ULONGLONG inner = 0;
            hr = WriteInnerChunk(stream, schema, &inner);
            data += inner;
            if (schema == 0xFFFF) break;
        }
    }
    if (FAILED(hr)) return hr;

    ULONGLONG end = 0;
    if (FAILED(hr = Tell(stream, &end))) return hr;
    ULONGLONG size = kQelChunkHeader + data;
    if (size != end - start) return STG_E_WRITEFAULT;
    // An object without data keeps the placeholder 8 as its size.
    if (data != 0) {
        if (FAILED(hr = PatchSize(stream, start, size, end))) return hr;
    }
    if (clearDirty == TRUE) dirty_ = 0;
    return S_OK;
}

// ---- GetSizeMax ----

HRESULT CQelPersistStream::GetSizeMax(ULARGE_INTEGER* size) {
    if (!size) return E_POINTER;
    Locked hold(lock_);
    ULONGLONG total = 0;
    HRESULT hr = S_OK;
    if (currentSchema_ == oldestSchema_) {
        hr = MeasureSchema(currentSchema_, &total);
        total += kQelChunkHeader;
    } else {
        for (WORD schema = currentSchema_;; --schema) {
            ULONGLONG data = 0;
            if (FAILED(hr = MeasureSchema(schema, &data))) break;
            total += data + kQelChunkHeader;
            if (total == 0 || schema == oldestSchema_) break;
        }
        total += kQelChunkHeader;
    }
    if (FAILED(hr)) return hr;
    size->QuadPart = total;
    return S_OK;
}

// ---- Load ----

HRESULT CQelPersistStream::Load(IStream* stream) {
    if (!stream) return STG_E_INVALIDPOINTER;
    StreamRef ref(stream);
    ULONGLONG chunkStart = 0;
    HRESULT hr = Tell(stream, &chunkStart);
    if (FAILED(hr)) return hr;
    {
        Locked hold(lock_);
        hr = LoadChunk(stream);
    }
    if (FAILED(hr)) {
        ULONGLONG stoppedAt = chunkStart;
        Tell(stream, &stoppedAt);
        SkipChunk(stream, chunkStart, stoppedAt);
    }
    return hr;
}

HRESULT CQelPersistStream::LoadChunk(IStream* stream) {
    ULONGLONG size = 0;
    HRESULT hr = ReadExact(stream, &size, sizeof size);
    if (FAILED(hr)) return hr;
    // Below 8 it cannot hold its own size; above the largest seek distance no
    // stream can hold it, and skipping over it would wrap around.
    if (size < 8 || size > 0x7FFFFFFFFFFFFFFFull) return STG_E_INVALIDHEADER;
    ULONGLONG remaining = size - 8;

    DWORD tag = 0;
    if (FAILED(hr = ReadExact(stream, &tag, sizeof tag))) return hr;
    if (QelTagObject(tag) != objectId_ || remaining < 4) return STG_E_INVALIDHEADER;
    remaining -= 4;

    if (QelTagSchema(tag) <= oldestSchema_) return ReadSchema(stream, tag, remaining);
    return LoadInnerChunks(stream, remaining);
}

HRESULT CQelPersistStream::LoadInnerChunks(IStream* stream, ULONGLONG remaining) {
    HRESULT hr = S_OK;
    while (remaining >= kQelChunkHeader) {
        ULONGLONG size = 0;
        DWORD tag = 0;
        if (FAILED(hr = ReadExact(stream, &size, sizeof size))) return hr;
        if (FAILED(hr = ReadExact(stream, &tag, sizeof tag))) return hr;
        if (size < kQelChunkHeader || size > remaining || QelTagObject(tag) != objectId_) return STG_E_INVALIDHEADER;
        ULONGLONG data = size - kQelChunkHeader;
        if (QelTagSchema(tag) <= currentSchema_) {
            if (FAILED(hr = ReadSchema(stream, tag, data))) return hr;
        } else {
            // A schema written by a newer version of the object: not ours.
            LARGE_INTEGER over;
            over.QuadPart = static_cast<LONGLONG>(data);
            ULARGE_INTEGER at{};
            if (FAILED(hr = stream->Seek(over, STREAM_SEEK_CUR, &at))) return hr;
        }
        remaining -= size;
    }
    if (remaining != 0) return STG_E_UNKNOWN;
    dirty_ = 0;
    return S_OK;
}

HRESULT CQelPersistStream::SkipChunk(IStream* stream, ULONGLONG chunkStart, ULONGLONG stoppedAt) {
    Locked hold(lock_);
    dirty_ = 0;
    ULONGLONG size = 0;
    HRESULT hr = SeekTo(stream, chunkStart);
    if (SUCCEEDED(hr)) hr = ReadExact(stream, &size, sizeof size);
    // A size that would wrap around is as unusable as an unreadable one.
    if (SUCCEEDED(hr) && size > 8 && size <= 0x7FFFFFFFFFFFFFFFull - chunkStart) {
        if (SUCCEEDED(hr = SeekTo(stream, chunkStart + size))) return S_OK;
    }
    SeekTo(stream, stoppedAt);
    return FAILED(hr) ? hr : S_OK;
}
