#include "vst3/FObject.h"

#include <objbase.h>

namespace Steinberg {

namespace {

FUID MakeProcessFuid() {
    GUID guid{};
    CoCreateGuid(&guid);
    TUID bytes;
    memcpy(bytes, &guid, sizeof bytes);
    return FUID(bytes);
}

}  // namespace

const FUID FObject::iid = MakeProcessFuid();

tresult PLUGIN_API FObject::queryInterface(const TUID queried, void** obj) {
    if (!obj) return kInvalidArgument;
    if (iidEqual(queried, FUnknown::iid) || iidEqual(queried, IDependent::iid) || iidEqual(queried, FObject::iid)) {
        addRef();
        *obj = this;
        return kResultOk;
    }
    *obj = nullptr;
    return kNoInterface;
}

uint32 PLUGIN_API FObject::addRef() {
    return static_cast<uint32>(++refCount);
}

uint32 PLUGIN_API FObject::release() {
    int32 left = --refCount;
    if (left == 0) {
        refCount = -1000;  // a late release of a dead object shows up as a negative count, not a second delete
        delete this;
        return 0;
    }
    return static_cast<uint32>(left);
}

}  // namespace Steinberg
