// The object-persistence layer: an object writes itself into any IStream as
// one self-describing chunk (8-byte size, 4-byte tag = object id << 16 |
// schema, then its data) and reads itself back with the framing, its identity
// and its schema checked. A concrete object supplies only its data function.
#pragma once

#include <windows.h>
#include <objidl.h>
#include <ocidl.h>

#include "notify/QelStreamIo.h"

constexpr ULONG kQelChunkHeader = 12;  // 8-byte size + 4-byte tag

constexpr DWORD MakeQelTag(WORD objectId, WORD schema) {
    return static_cast<DWORD>(objectId) << 16 | schema;
}
constexpr WORD QelTagObject(DWORD tag) {
    return static_cast<WORD>(tag >> 16);
}
constexpr WORD QelTagSchema(DWORD tag) {
    return static_cast<WORD>(tag & 0xFFFF);
}

// The layer's own interface. Not an IUnknown: two unused slots, then the data
// function, which writes or reads the object's fields for one schema.
struct IQelPersist {
    virtual HRESULT STDMETHODCALLTYPE Reserved0() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved1() = 0;
    virtual HRESULT STDMETHODCALLTYPE PersistData(WORD schema, CQelStreamIo& io) = 0;
};

// IPersistStream and IPersistStreamInit over the chunk format.
class CQelPersistStream : public IPersistStream, public IPersistStreamInit {
public:
    CQelPersistStream(WORD objectId, WORD currentSchema, WORD oldestSchema, CRITICAL_SECTION* lock = nullptr)
        : objectId_(objectId), currentSchema_(currentSchema), oldestSchema_(oldestSchema), lock_(lock) {}
    CQelPersistStream(const CQelPersistStream&) = delete;
    CQelPersistStream& operator=(const CQelPersistStream&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override = 0;
    ULONG STDMETHODCALLTYPE Release() override = 0;
    HRESULT STDMETHODCALLTYPE GetClassID(CLSID* classId) override;
    HRESULT STDMETHODCALLTYPE IsDirty() override;
    HRESULT STDMETHODCALLTYPE Load(IStream* stream) override;
    HRESULT STDMETHODCALLTYPE Save(IStream* stream, BOOL clearDirty) override;
    HRESULT STDMETHODCALLTYPE GetSizeMax(ULARGE_INTEGER* size) override;
    HRESULT STDMETHODCALLTYPE InitNew() override;

    // Table of contents: no stream this program uses offers one.
    virtual HRESULT LoadInstance(IStream* stream, DWORD instance);
    // After a failed load: back to the chunk start, then past the chunk when
    // its size can be read and is above 8, else to where the load stopped.
    virtual HRESULT SkipChunk(IStream* stream, ULONGLONG chunkStart, ULONGLONG stoppedAt);
    virtual bool UseToc() const;

    // One schema's data: read (with the bytes the chunk holds), write
    // (reporting the bytes written) and measure.
    virtual HRESULT ReadSchema(IStream* stream, DWORD tag, ULONGLONG available) = 0;
    virtual HRESULT WriteSchema(IStream* stream, DWORD tag, ULONGLONG* written) = 0;
    virtual HRESULT MeasureSchema(WORD schema, ULONGLONG* size) = 0;
    virtual bool IsCurrentSchema(WORD schema) const;

    virtual ~CQelPersistStream() = default;

    WORD ObjectId() const { return objectId_; }
    WORD CurrentSchema() const { return currentSchema_; }
    WORD OldestSchema() const { return oldestSchema_; }
    void SetDirty(bool dirty) { dirty_ = dirty ? 1 : 0; }

protected:
    // Checks the tag against this object: its id, and a schema it knows.
    HRESULT CheckTag(DWORD tag) const;

private:
    HRESULT SaveLocked(IStream* stream, BOOL clearDirty);
    HRESULT WriteInnerChunk(IStream* stream, WORD schema, ULONGLONG* chunkSize);
    HRESULT LoadChunk(IStream* stream);
    HRESULT LoadInnerChunks(IStream* stream, ULONGLONG remaining);

    WORD objectId_;
    WORD currentSchema_;
    WORD oldestSchema_;
    LONG dirty_ = 0;
    CRITICAL_SECTION* lock_;
};

// Adds IQelPersist and runs its data function for one schema.
class CQelPersistCOMObject : public CQelPersistStream, public IQelPersist {
public:
    using CQelPersistStream::CQelPersistStream;

    HRESULT STDMETHODCALLTYPE Reserved0() override { return 0; }
    HRESULT STDMETHODCALLTYPE Reserved1() override { return 0; }

    HRESULT ReadSchema(IStream* stream, DWORD tag, ULONGLONG available) override;
    HRESULT WriteSchema(IStream* stream, DWORD tag, ULONGLONG* written) override;
    HRESULT MeasureSchema(WORD schema, ULONGLONG* size) override;
};

// The base of concrete persistable objects. Its lifetime is its owner's:
// Release counts but never deletes.
class CQelPersistObject : public CQelPersistCOMObject {
public:
    using CQelPersistCOMObject::CQelPersistCOMObject;

    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    LONG RefCount() const { return refs_; }

private:
    LONG refs_ = 0;
};
