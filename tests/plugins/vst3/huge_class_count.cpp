// A factory that claims 2^31-1 classes and describes any index it is asked
// for as a non-audio class. The number of getClassInfo calls is traced when
// the factory is released.
#include <climits>

#include "Vst3Kit.h"

namespace {
using namespace Steinberg;

const kit::ModuleTraits kModule{"Tarnwell Test Labs", PFactoryInfo::kUnicode, nullptr, 0};

class EndlessFactory : public kit::Factory {
public:
    using kit::Factory::Factory;
    int32 PLUGIN_API countClasses() override { return INT_MAX; }
    tresult PLUGIN_API getClassInfo(int32 index, PClassInfo* info) override {
        ++calls_;
        memset(info, 0, sizeof *info);
        FUID(0x5E9A1400, static_cast<uint32>(index), 0, 0).toTUID(info->cid);
        kit::CopyText(info->category, sizeof info->category, "Endless Service");
        kit::CopyText(info->name, sizeof info->name, "Endless");
        return kResultOk;
    }
    tresult PLUGIN_API getClassInfo2(int32 index, PClassInfo2* info) override {
        memset(info, 0, sizeof *info);
        FUID(0x5E9A1400, static_cast<uint32>(index), 0, 0).toTUID(info->cid);
        kit::CopyText(info->category, sizeof info->category, "Endless Service");
        return kResultOk;
    }
    uint32 PLUGIN_API release() override {
        kit::Trace("getClassInfo calls %d", calls_);
        return 1;
    }

private:
    int calls_ = 0;
};
}  // namespace

KIT_FACTORY(EndlessFactory, kModule)
