// A component that releases the host context three times more than it took
// references, and still uses it when it is terminated.
#include "Vst3Kit.h"

namespace {

class OverReleasingComponent : public kit::Component {
public:
    using kit::Component::Component;
    Steinberg::tresult PLUGIN_API initialize(Steinberg::FUnknown* context) override {
        context_ = context;
        for (int i = 0; i < 3; ++i) context->release();
        return kit::Component::initialize(context);
    }
    Steinberg::tresult PLUGIN_API terminate() override {
        void* obj = nullptr;
        if (context_ && context_->queryInterface(Steinberg::Vst::IHostApplication::iid, &obj) == Steinberg::kResultOk) {
            auto* host = static_cast<Steinberg::Vst::IHostApplication*>(obj);
            Steinberg::Vst::String128 name = {};
            host->getName(name);
            char ascii[129] = {};
            for (int i = 0; i < 128 && name[i]; ++i) ascii[i] = static_cast<char>(name[i]);
            kit::Trace("host name after over-release: %s", ascii);
            host->release();
        }
        return kit::Component::terminate();
    }

private:
    Steinberg::FUnknown* context_ = nullptr;
};

kit::ClassTraits Class() {
    kit::ClassTraits c;
    c.cid = Steinberg::FUID(0x5E9A1101, 0x11112222, 0x33334444, 0x55556666);
    c.controllerCid = Steinberg::FUID(0x5E9A11C1, 0x11112222, 0x33334444, 0x55556666);
    c.name = "Over Releaser";
    c.makeComponent = [](const kit::ClassTraits& s) -> kit::Component* { return new OverReleasingComponent(s); };
    return c;
}
const kit::ClassTraits kClasses[] = {Class()};
const kit::ModuleTraits kModule{"Tarnwell Test Labs", Steinberg::PFactoryInfo::kUnicode, kClasses, 1};
}  // namespace

KIT_FACTORY(kit::Factory, kModule)
