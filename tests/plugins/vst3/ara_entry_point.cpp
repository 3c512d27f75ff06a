// An effect whose component answers the ARA plug-in entry point.
#include "Vst3Kit.h"

namespace {
kit::ClassTraits Class() {
    kit::ClassTraits c;
    c.cid = Steinberg::FUID(0x5E9A0B01, 0x11112222, 0x33334444, 0x55556666);
    c.controllerCid = Steinberg::FUID(0x5E9A0BC1, 0x11112222, 0x33334444, 0x55556666);
    c.name = "ARA Pitch Editor";
    c.ara = true;
    return c;
}
const kit::ClassTraits kClasses[] = {Class()};
const kit::ModuleTraits kModule{"Tarnwell Test Labs", Steinberg::PFactoryInfo::kUnicode, kClasses, 1};
}  // namespace

KIT_FACTORY(kit::Factory, kModule)
