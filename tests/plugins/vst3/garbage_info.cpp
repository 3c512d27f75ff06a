// A module that fills every fixed-size text field to the brim without a
// terminator and reports absurd counts: 2^31-1 audio input buses (the first
// with a negative channel count), a negative output bus count, a negative
// parameter count and 2^31-1 units and program lists of which none is found.
// How many calls the scanner made is traced when the controller terminates.
#include <climits>

#include "Vst3Kit.h"

namespace {
using namespace Steinberg;

int g_busCalls = 0;
int g_unitCalls = 0;

class GarbageComponent : public kit::Component {
public:
    using kit::Component::Component;
    int32 PLUGIN_API getBusCount(Vst::MediaType type, Vst::BusDirection dir) override {
        if (type == Vst::kEvent) return 0;
        return dir == Vst::kInput ? INT_MAX : -3;
    }
    tresult PLUGIN_API getBusInfo(Vst::MediaType, Vst::BusDirection, int32 index, Vst::BusInfo& bus) override {
        ++g_busCalls;
        memset(&bus, 0, sizeof bus);
        if (index != 0) return kResultFalse;
        bus.channelCount = -4;
        memset(bus.name, 'B', sizeof bus.name);  // no terminator
        return kResultOk;
    }
};

class GarbageController : public kit::Controller {
public:
    using kit::Controller::Controller;
    tresult PLUGIN_API queryInterface(const TUID iid, void** obj) override {
        if (obj && kit::SameId(iid, Vst::IUnitInfo::iid)) {
            *obj = static_cast<Vst::IUnitInfo*>(this);
            addRef();
            return kResultOk;
        }
        return kit::Controller::queryInterface(iid, obj);
    }
    int32 PLUGIN_API getParameterCount() override { return -7; }
    int32 PLUGIN_API getUnitCount() override { return INT_MAX; }
    int32 PLUGIN_API getProgramListCount() override { return INT_MAX; }
    tresult PLUGIN_API getUnitInfo(int32, Vst::UnitInfo& info) override {
        ++g_unitCalls;
        memset(&info, 0xFF, sizeof info);
        return kResultFalse;
    }
    tresult PLUGIN_API terminate() override {
        kit::Trace("bus info calls %d", g_busCalls);
        kit::Trace("unit info calls %d", g_unitCalls);
        return kit::Controller::terminate();
    }
};

kit::ClassTraits Class() {
    kit::ClassTraits c;
    c.cid = FUID(0x5E9A1301, 0x11112222, 0x33334444, 0x55556666);
    c.controllerCid = FUID(0x5E9A13C1, 0x11112222, 0x33334444, 0x55556666);
    c.name = "Garbage";
    c.makeComponent = [](const kit::ClassTraits& s) -> kit::Component* { return new GarbageComponent(s); };
    c.makeController = [](const kit::ClassTraits& s) -> kit::Controller* { return new GarbageController(s); };
    return c;
}
const kit::ClassTraits kClasses[] = {Class()};
const kit::ModuleTraits kModule{"unused", PFactoryInfo::kUnicode, kClasses, 1};

class GarbageFactory : public kit::Factory {
public:
    using kit::Factory::Factory;
    tresult PLUGIN_API getFactoryInfo(PFactoryInfo* info) override {
        memset(info->vendor, 'V', sizeof info->vendor);
        memset(info->url, 'U', sizeof info->url);
        memset(info->email, 'E', sizeof info->email);
        info->flags = PFactoryInfo::kUnicode;
        return kResultOk;
    }
    tresult PLUGIN_API getClassInfo(int32 index, PClassInfo* info) override {
        tresult r = kit::Factory::getClassInfo(index, info);
        memset(info->name, 'N', sizeof info->name);
        return r;
    }
    tresult PLUGIN_API getClassInfo2(int32 index, PClassInfo2* info) override {
        tresult r = kit::Factory::getClassInfo2(index, info);
        memset(info->name, 'N', sizeof info->name);
        memset(info->subCategories, 'S', sizeof info->subCategories);
        memcpy(info->subCategories, "Instrument|", 11);
        memset(info->vendor, 'W', sizeof info->vendor);
        return r;
    }
};
}  // namespace

KIT_FACTORY(GarbageFactory, kModule)
