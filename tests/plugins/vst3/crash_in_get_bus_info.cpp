// A component that writes through a null pointer when asked for bus info.
#include "Vst3Kit.h"

namespace {
const kit::Bus kStereo[] = {{2, Steinberg::Vst::kMain}};

class CrashingComponent : public kit::Component {
public:
    using kit::Component::Component;
    Steinberg::tresult PLUGIN_API getBusInfo(Steinberg::Vst::MediaType, Steinberg::Vst::BusDirection, Steinberg::int32,
                                             Steinberg::Vst::BusInfo&) override {
        kit::Trace("getBusInfo crash");
        *static_cast<volatile int*>(nullptr) = 0x0BADF00D;
        return Steinberg::kResultOk;
    }
};

kit::ClassTraits Class() {
    kit::ClassTraits c;
    c.cid = Steinberg::FUID(0x5E9A1001, 0x11112222, 0x33334444, 0x55556666);
    c.controllerCid = Steinberg::FUID(0x5E9A10C1, 0x11112222, 0x33334444, 0x55556666);
    c.name = "Crashing Buses";
    c.audioIns = kStereo;
    c.numAudioIns = 1;
    c.makeComponent = [](const kit::ClassTraits& s) -> kit::Component* { return new CrashingComponent(s); };
    return c;
}
const kit::ClassTraits kClasses[] = {Class()};
const kit::ModuleTraits kModule{"Tarnwell Test Labs", Steinberg::PFactoryInfo::kUnicode, kClasses, 1};
}  // namespace

KIT_FACTORY(kit::Factory, kModule)
