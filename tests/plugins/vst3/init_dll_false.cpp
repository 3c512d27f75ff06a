// A module whose InitDll refuses: its factory must never be asked for.
#include "Vst3Kit.h"

namespace {
kit::ClassTraits Class() {
    kit::ClassTraits c;
    c.cid = Steinberg::FUID(0x5E9A0D01, 0x11112222, 0x33334444, 0x55556666);
    c.name = "Never Initialised";
    return c;
}
const kit::ClassTraits kClasses[] = {Class()};
const kit::ModuleTraits kModule{"Tarnwell Test Labs", Steinberg::PFactoryInfo::kUnicode, kClasses, 1};
}  // namespace

VST3_EXPORT bool InitDll() {
    kit::Trace("InitDll");
    return false;
}
VST3_EXPORT bool ExitDll() {
    kit::Trace("ExitDll");
    return true;
}
VST3_EXPORT Steinberg::IPluginFactory* PLUGIN_API GetPluginFactory() {
    kit::Trace("GetPluginFactory");
    static kit::Factory factory(kModule);
    return &factory;
}
