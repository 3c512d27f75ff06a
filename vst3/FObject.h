// The SDK's base object for host-side classes: an atomic reference count and
// a class name that FCast-style code can ask for. It keeps no dependents.
#pragma once

#include <atomic>

#include "vst3/Vst3Api.h"

namespace Steinberg {

using FClassID = FIDString;

class FObject : public IDependent {
public:
    FObject() = default;
    FObject(const FObject&) : refCount(1) {}
    FObject& operator=(const FObject&) { return *this; }
    virtual ~FObject() = default;

    static FClassID getFClassID() { return "FObject"; }
    virtual FClassID isA() const { return FObject::getFClassID(); }
    virtual bool isA(FClassID s) const { return isTypeOf(s, false); }
    virtual bool isTypeOf(FClassID s, bool /*askBaseClass*/ = true) const {
        return classIDsEqual(s, FObject::getFClassID());
    }
    int32 getRefCount() const { return refCount.load(); }
    FUnknown* unknownCast() { return this; }

    tresult PLUGIN_API queryInterface(const TUID iid, void** obj) override;
    uint32 PLUGIN_API addRef() override;
    uint32 PLUGIN_API release() override;
    void PLUGIN_API update(FUnknown* /*changedUnknown*/, int32 /*message*/) override {}

    // Without an update handler there is nobody to tell: a change is only
    // reported to the object itself, as the SDK does in that case.
    virtual void addDependent(IDependent* /*dep*/) {}
    virtual void removeDependent(IDependent* /*dep*/) {}
    virtual void changed(int32 msg = kChanged) { updateDone(msg); }
    virtual void deferUpdate(int32 msg = kChanged) { updateDone(msg); }
    virtual void updateDone(int32 /*msg*/) {}
    virtual bool isEqualInstance(FUnknown* d) { return this == d; }

    static bool classIDsEqual(FClassID a, FClassID b) { return a && b && strcmp(a, b) == 0; }

    // Made afresh in every process, so that only this program's own code can
    // turn an FUnknown back into one of its objects.
    static const FUID iid;

protected:
    std::atomic<int32> refCount{1};
};

static_assert(sizeof(std::atomic<int32>) == sizeof(int32), "reference count stays a plain 32-bit value");

}  // namespace Steinberg
