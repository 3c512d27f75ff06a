// A component that is not its own controller but names the all-zero class
// id as its controller's.
#include "Vst3Kit.h"

namespace {
using namespace Steinberg;

class NoControllerComponent : public kit::Component {
public:
    using kit::Component::Component;
    tresult PLUGIN_API queryInterface(const TUID iid, void** obj) override {
        if (obj && kit::SameId(iid, Vst::IEditController::iid)) {
            *obj = nullptr;
            return kNoInterface;
        }
        return kit::Component::queryInterface(iid, obj);
    }
    tresult PLUGIN_API getControllerClassId(TUID classId) override {
        kit::Trace("getControllerClassId zero");
        memset(classId, 0, sizeof(TUID));
        return kResultOk;
    }
};

kit::ClassTraits Class() {
    kit::ClassTraits c;
    c.cid = FUID(0x5E9A1501, 0x11112222, 0x33334444, 0x55556666);
    c.name = "Zero Controller";
    c.makeComponent = [](const kit::ClassTraits& s) -> kit::Component* { return new NoControllerComponent(s); };
    return c;
}
const kit::ClassTraits kClasses[] = {Class()};
const kit::ModuleTraits kModule{"Tarnwell Test Labs", PFactoryInfo::kUnicode, kClasses, 1};
}  // namespace

KIT_FACTORY(kit::Factory, kModule)
