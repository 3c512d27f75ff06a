// One audio effect that is its own edit controller: no controller class, and
// the connection points it offers must not be connected to itself.
#include "Vst3Kit.h"

namespace {
const kit::Bus kMono[] = {{1, Steinberg::Vst::kMain}};
kit::ClassTraits Class() {
    kit::ClassTraits c;
    c.cid = Steinberg::FUID(0x5E9A0002, 0x11112222, 0x33334444, 0x55556666);
    c.name = "Single Component Gain";
    c.subCategories = "Fx|Tools";
    c.audioIns = kMono;
    c.numAudioIns = 1;
    c.audioOuts = kMono;
    c.numAudioOuts = 1;
    c.numParams = 3;
    return c;
}
const kit::ClassTraits kClasses[] = {Class()};
const kit::ModuleTraits kModule{"Tarnwell Test Labs", Steinberg::PFactoryInfo::kUnicode, kClasses, 1};
}  // namespace

KIT_FACTORY(kit::Factory, kModule)
