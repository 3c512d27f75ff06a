// A controller with two units: a sub-unit listed first, then the root unit,
// whose program list (id 7, 12 programs) is the second of two lists.
#include "Vst3Kit.h"

namespace {
const kit::Unit kUnits[] = {{5, 3}, {Steinberg::Vst::kRootUnitId, 7}};
const kit::ProgramList kLists[] = {{3, 5}, {7, 12}};
kit::ClassTraits Class() {
    kit::ClassTraits c;
    c.cid = Steinberg::FUID(0x5E9A0901, 0x11112222, 0x33334444, 0x55556666);
    c.controllerCid = Steinberg::FUID(0x5E9A09C1, 0x11112222, 0x33334444, 0x55556666);
    c.name = "Program Bank";
    c.numParams = 2;
    c.units = kUnits;
    c.numUnits = 2;
    c.lists = kLists;
    c.numLists = 2;
    return c;
}
const kit::ClassTraits kClasses[] = {Class()};
const kit::ModuleTraits kModule{"Tarnwell Test Labs", Steinberg::PFactoryInfo::kUnicode, kClasses, 1};
}  // namespace

KIT_FACTORY(kit::Factory, kModule)
