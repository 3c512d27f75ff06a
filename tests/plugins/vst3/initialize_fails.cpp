// The component's initialize fails with kInternalError.
#include "Vst3Kit.h"

namespace {
kit::ClassTraits Class() {
    kit::ClassTraits c;
    c.cid = Steinberg::FUID(0x5E9A0F01, 0x11112222, 0x33334444, 0x55556666);
    c.controllerCid = Steinberg::FUID(0x5E9A0FC1, 0x11112222, 0x33334444, 0x55556666);
    c.name = "Broken Initialize";
    c.initializeResult = Steinberg::kInternalError;
    return c;
}
const kit::ClassTraits kClasses[] = {Class()};
const kit::ModuleTraits kModule{"Tarnwell Test Labs", Steinberg::PFactoryInfo::kUnicode, kClasses, 1};
}  // namespace

VST3_EXPORT bool ExitDll() {
    kit::Trace("ExitDll");
    return true;
}
KIT_FACTORY(kit::Factory, kModule)
