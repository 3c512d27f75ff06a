// A VSampler that wrongly claims "noRealTime" while being an ordinary effect:
// a VSampler must not be asked, so it stays a real-time plug-in.
#include "PluginKit.h"

namespace {
const char* const kCanDo[] = {"noRealTime", nullptr};
PluginTraits Traits() {
    PluginTraits s;
    s.name = "VSampler Live";
    s.vendor = "Tarnwell Test Labs";
    s.product = "VSampler";
    s.uniqueId = 0x56534D31;  // 'VSM1'
    s.flags = effFlagsHasEditor;
    s.canDo = kCanDo;
    return s;
}
const PluginTraits kTraits = Traits();
}  // namespace

PLUGIN_EXPORT AEffect* VSTPluginMain(audioMasterCallback) {
    return CreateEffect(kTraits);
}
