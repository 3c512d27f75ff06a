// createInstance reports success for the component but hands out nothing.
#include "Vst3Kit.h"

namespace {
kit::ClassTraits Class() {
    kit::ClassTraits c;
    c.cid = Steinberg::FUID(0x5E9A1201, 0x11112222, 0x33334444, 0x55556666);
    c.name = "Null Component";
    return c;
}
const kit::ClassTraits kClasses[] = {Class()};
const kit::ModuleTraits kModule{"Tarnwell Test Labs", Steinberg::PFactoryInfo::kUnicode, kClasses, 1};

class NullFactory : public kit::Factory {
public:
    using kit::Factory::Factory;
    Steinberg::tresult PLUGIN_API createInstance(Steinberg::FIDString, Steinberg::FIDString, void** obj) override {
        kit::Trace("createInstance null");
        if (obj) *obj = nullptr;
        return Steinberg::kResultOk;
    }
};
}  // namespace

KIT_FACTORY(NullFactory, kModule)
