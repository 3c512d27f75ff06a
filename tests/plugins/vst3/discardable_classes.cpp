// Two audio classes in a factory that flags its classes as discardable.
#include "Vst3Kit.h"

namespace {
kit::ClassTraits Class(uint32_t n, const char* name) {
    kit::ClassTraits c;
    c.cid = Steinberg::FUID(0x5E9A0600 + n, 0x11112222, 0x33334444, 0x55556666);
    c.controllerCid = Steinberg::FUID(0x5E9A06C0 + n, 0x11112222, 0x33334444, 0x55556666);
    c.name = name;
    return c;
}
const kit::ClassTraits kClasses[] = {Class(0, "Discardable One"), Class(1, "Discardable Two")};
const kit::ModuleTraits kModule{"Tarnwell Test Labs",
                                Steinberg::PFactoryInfo::kClassesDiscardable | Steinberg::PFactoryInfo::kUnicode,
                                kClasses, 2};
}  // namespace

KIT_FACTORY(kit::Factory, kModule)
