// Main and aux (side-chain) stereo inputs, a main stereo output and an aux
// surround output that is not a main bus.
#include "Vst3Kit.h"

namespace {
const kit::Bus kIns[] = {{2, Steinberg::Vst::kMain}, {2, Steinberg::Vst::kAux}};
const kit::Bus kOuts[] = {{2, Steinberg::Vst::kMain}, {6, Steinberg::Vst::kAux}};
kit::ClassTraits Class() {
    kit::ClassTraits c;
    c.cid = Steinberg::FUID(0x5E9A0801, 0x11112222, 0x33334444, 0x55556666);
    c.controllerCid = Steinberg::FUID(0x5E9A08C1, 0x11112222, 0x33334444, 0x55556666);
    c.name = "Sidechain Compressor";
    c.subCategories = "Fx|Dynamics";
    c.audioIns = kIns;
    c.numAudioIns = 2;
    c.audioOuts = kOuts;
    c.numAudioOuts = 2;
    c.numParams = 6;
    return c;
}
const kit::ClassTraits kClasses[] = {Class()};
const kit::ModuleTraits kModule{"Tarnwell Test Labs", Steinberg::PFactoryInfo::kUnicode, kClasses, 1};
}  // namespace

KIT_FACTORY(kit::Factory, kModule)
