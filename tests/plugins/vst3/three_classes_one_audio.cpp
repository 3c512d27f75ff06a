// Three classes of which only the second is an audio module: the other two
// must be looked at and passed over.
#include "Vst3Kit.h"

namespace {
const kit::Bus kStereo[] = {{2, Steinberg::Vst::kMain}};
kit::ClassTraits Other(uint32_t n, const char* name, const char* category) {
    kit::ClassTraits c;
    c.cid = Steinberg::FUID(0x5E9A0300 + n, 0x11112222, 0x33334444, 0x55556666);
    c.name = name;
    c.category = category;
    return c;
}
kit::ClassTraits Audio() {
    kit::ClassTraits c;
    c.cid = Steinberg::FUID(0x5E9A0301, 0x11112222, 0x33334444, 0x55556666);
    c.controllerCid = Steinberg::FUID(0x5E9A03C1, 0x11112222, 0x33334444, 0x55556666);
    c.name = "Middle Audio Class";
    c.audioOuts = kStereo;
    c.numAudioOuts = 1;
    c.numParams = 4;
    return c;
}
const kit::ClassTraits kClasses[] = {Other(0, "A Controller", Steinberg::Vst::kVstComponentControllerClass), Audio(),
                                     Other(2, "A Service", "Service Class")};
const kit::ModuleTraits kModule{"Tarnwell Test Labs", Steinberg::PFactoryInfo::kUnicode, kClasses, 3};
}  // namespace

KIT_FACTORY(kit::Factory, kModule)
