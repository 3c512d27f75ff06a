// Two audio classes; the first cannot be created (createInstance answers
// kResultFalse), the second can.
#include "Vst3Kit.h"

namespace {
kit::ClassTraits Class(uint32_t n, const char* name, Steinberg::tresult create) {
    kit::ClassTraits c;
    c.cid = Steinberg::FUID(0x5E9A0E00 + n, 0x11112222, 0x33334444, 0x55556666);
    c.controllerCid = Steinberg::FUID(0x5E9A0EC0 + n, 0x11112222, 0x33334444, 0x55556666);
    c.name = name;
    c.createResult = create;
    return c;
}
const kit::ClassTraits kClasses[] = {Class(0, "Cannot Create", Steinberg::kResultFalse),
                                     Class(1, "Can Create", Steinberg::kResultOk)};
const kit::ModuleTraits kModule{"Tarnwell Test Labs", Steinberg::PFactoryInfo::kUnicode, kClasses, 2};
}  // namespace

KIT_FACTORY(kit::Factory, kModule)
