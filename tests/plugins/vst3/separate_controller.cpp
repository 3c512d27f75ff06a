// One audio effect whose edit controller is a class of its own; both offer
// connection points. 57 parameters, stereo in and out, a version resource.
// Like modules built on frameworks that use COM, it has a factory only for a
// thread where COM is already set up.
#include <objbase.h>

#include "Vst3Kit.h"

namespace {
const kit::Bus kStereoMain[] = {{2, Steinberg::Vst::kMain}};
kit::ClassTraits Class() {
    kit::ClassTraits c;
    c.cid = Steinberg::FUID(0x5E9A0001, 0x11112222, 0x33334444, 0x55556666);
    c.controllerCid = Steinberg::FUID(0x5E9A00C1, 0x11112222, 0x33334444, 0x55556666);
    c.name = "Separate Controller Delay";
    c.subCategories = "Fx|Delay";
    c.audioIns = kStereoMain;
    c.numAudioIns = 1;
    c.audioOuts = kStereoMain;
    c.numAudioOuts = 1;
    c.numParams = 57;
    return c;
}
const kit::ClassTraits kClasses[] = {Class()};
const kit::ModuleTraits kModule{"Tarnwell Test Labs", Steinberg::PFactoryInfo::kUnicode, kClasses, 1};
}  // namespace

VST3_EXPORT Steinberg::IPluginFactory* PLUGIN_API GetPluginFactory() {
    HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (SUCCEEDED(hr)) CoUninitialize();
    if (hr == S_OK) return nullptr;  // it was not set up: this call did it
    static kit::Factory factory(kModule);
    return &factory;
}
