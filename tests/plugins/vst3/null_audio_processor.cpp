// A component that reports success for IAudioProcessor but hands out nothing.
#include "Vst3Kit.h"

namespace {
using namespace Steinberg;

class NullProcessorComponent : public kit::Component {
public:
    using kit::Component::Component;
    tresult PLUGIN_API queryInterface(const TUID iid, void** obj) override {
        if (obj && kit::SameId(iid, Vst::IAudioProcessor::iid)) {
            kit::Trace("IAudioProcessor null");
            *obj = nullptr;
            return kResultOk;
        }
        return kit::Component::queryInterface(iid, obj);
    }
};

kit::ClassTraits Class() {
    kit::ClassTraits c;
    c.cid = FUID(0x5E9A1601, 0x11112222, 0x33334444, 0x55556666);
    c.controllerCid = FUID(0x5E9A16C1, 0x11112222, 0x33334444, 0x55556666);
    c.name = "Null Processor";
    c.makeComponent = [](const kit::ClassTraits& s) -> kit::Component* { return new NullProcessorComponent(s); };
    return c;
}
const kit::ClassTraits kClasses[] = {Class()};
const kit::ModuleTraits kModule{"Tarnwell Test Labs", PFactoryInfo::kUnicode, kClasses, 1};
}  // namespace

KIT_FACTORY(kit::Factory, kModule)
