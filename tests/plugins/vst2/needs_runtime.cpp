// An ordinary effect that imports from beside_runtime.dll: it loads only when
// that DLL is found, which for a plug-in folder means the loader searched
// the plug-in's own folder.
#include "PluginKit.h"

extern "C" __declspec(dllimport) int BesideRuntimeAnswer();

namespace {
PluginTraits Traits() {
    PluginTraits s;
    s.name = "Needs Runtime";
    s.vendor = "Tarnwell Test Labs";
    s.uniqueId = 0x4E52544D;  // 'NRTM'
    return s;
}
const PluginTraits kTraits = Traits();
}  // namespace

PLUGIN_EXPORT AEffect* VSTPluginMain(audioMasterCallback) {
    return BesideRuntimeAnswer() == 42 ? CreateEffect(kTraits) : nullptr;
}
