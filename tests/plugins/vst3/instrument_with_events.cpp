// An instrument: "Instrument" sub-category, one event input and one event
// output bus, a stereo output.
#include "Vst3Kit.h"

namespace {
const kit::Bus kStereo[] = {{2, Steinberg::Vst::kMain}};
kit::ClassTraits Class() {
    kit::ClassTraits c;
    c.cid = Steinberg::FUID(0x5E9A0701, 0x11112222, 0x33334444, 0x55556666);
    c.controllerCid = Steinberg::FUID(0x5E9A07C1, 0x11112222, 0x33334444, 0x55556666);
    c.name = "Event Synth";
    c.subCategories = "Instrument|Synth";
    c.eventIns = 1;
    c.eventOuts = 1;
    c.audioOuts = kStereo;
    c.numAudioOuts = 1;
    c.numParams = 12;
    return c;
}
const kit::ClassTraits kClasses[] = {Class()};
const kit::ModuleTraits kModule{"Tarnwell Test Labs", Steinberg::PFactoryInfo::kUnicode, kClasses, 1};
}  // namespace

KIT_FACTORY(kit::Factory, kModule)
