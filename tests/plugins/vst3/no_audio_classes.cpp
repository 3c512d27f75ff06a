// A module whose classes are all of other categories.
#include "Vst3Kit.h"

namespace {
kit::ClassTraits Class(uint32_t n, const char* name, const char* category) {
    kit::ClassTraits c;
    c.cid = Steinberg::FUID(0x5E9A0500 + n, 0x11112222, 0x33334444, 0x55556666);
    c.name = name;
    c.category = category;
    return c;
}
// "Audio Module Class" with something after it is another category.
const kit::ClassTraits kClasses[] = {Class(0, "Only A Controller", Steinberg::Vst::kVstComponentControllerClass),
                                     Class(1, "Almost Audio", "Audio Module Class 2")};
const kit::ModuleTraits kModule{"Tarnwell Test Labs", Steinberg::PFactoryInfo::kUnicode, kClasses, 2};
}  // namespace

KIT_FACTORY(kit::Factory, kModule)
