#include "vst3/ScanHost.h"

#include "vst3/HostMessage.h"

using namespace Steinberg;

bool CVST3ScanHost::isTypeOf(FClassID s, bool askBaseClass) const {
    if (classIDsEqual(s, CVST3ScanHost::getFClassID())) return true;
    return askBaseClass && FObject::isTypeOf(s, true);
}

tresult PLUGIN_API CVST3ScanHost::queryInterface(const TUID iid, void** obj) {
    if (!obj) return kInvalidArgument;
    if (iidEqual(iid, Vst::IHostApplication::iid)) {
        addRef();
        *obj = static_cast<Vst::IHostApplication*>(this);
        return kResultOk;
    }
    return FObject::queryInterface(iid, obj);
}

tresult PLUGIN_API CVST3ScanHost::getName(Vst::String128 name) {
    if (!name) return kInvalidArgument;
    // Only the name and its terminator are written: the plug-in's buffer is
    // 128 characters and may be exactly that.
    size_t n = 0;
    for (; kScanHostName[n] && n < 127; ++n) name[n] = kScanHostName[n];
    name[n] = 0;
    return kResultOk;
}

tresult PLUGIN_API CVST3ScanHost::createInstance(TUID cid, TUID iid, void** obj) {
    if (!obj) return kInvalidArgument;
    if (iidEqual(cid, Vst::IMessage::iid) && iidEqual(iid, Vst::IMessage::iid)) {
        *obj = static_cast<Vst::IMessage*>(new Vst::HostMessage());
        return kResultTrue;
    }
    if (iidEqual(cid, Vst::IAttributeList::iid) && iidEqual(iid, Vst::IAttributeList::iid)) {
        *obj = static_cast<Vst::IAttributeList*>(new Vst::HostAttributeList());
        return kResultTrue;
    }
    *obj = nullptr;
    return kResultFalse;
}

ScanHostOwner::ScanHostOwner() : host_(new CVST3ScanHost()) {
    host_->AddReserve(kReserve);
}

ScanHostOwner::~ScanHostOwner() {
    delete host_;
}
