// Three audio classes in one module: an instrument with an event input first,
// then two effects without one.
#include "Vst3Kit.h"

namespace {
const kit::Bus kStereo[] = {{2, Steinberg::Vst::kMain}};
kit::ClassTraits Class(uint32_t n, const char* name, const char* sub, int32_t eventIns, int32_t params) {
    kit::ClassTraits c;
    c.cid = Steinberg::FUID(0x5E9A0400 + n, 0x11112222, 0x33334444, 0x55556666);
    c.controllerCid = Steinberg::FUID(0x5E9A04C0 + n, 0x11112222, 0x33334444, 0x55556666);
    c.name = name;
    c.subCategories = sub;
    c.eventIns = eventIns;
    c.audioOuts = kStereo;
    c.numAudioOuts = 1;
    c.numParams = params;
    return c;
}
const kit::ClassTraits kClasses[] = {Class(0, "Shell Synth", "Instrument|Synth", 1, 8),
                                     Class(1, "Shell Chorus", "Fx|Modulation", 0, 25),
                                     Class(2, "Shell Reverb", "Fx|Reverb", 0, 0)};
const kit::ModuleTraits kModule{"Shell Maker", Steinberg::PFactoryInfo::kUnicode, kClasses, 3};
}  // namespace

KIT_FACTORY(kit::Factory, kModule)
