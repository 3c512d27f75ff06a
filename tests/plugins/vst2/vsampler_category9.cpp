// A sampler of the VSampler family: offline-only by its category (9,
// kPlugCategOfflineProcess), not by any capability.
#include "PluginKit.h"

namespace {
PluginTraits Traits() {
    PluginTraits s;
    s.name = "VSampler Offline";
    s.vendor = "Tarnwell Test Labs";
    s.product = "VSampler";
    s.uniqueId = 0x56534D39;  // 'VSM9'
    s.category = kPlugCategOfflineProcess;
    s.flags = effFlagsHasEditor | effFlagsIsSynth;
    return s;
}
const PluginTraits kTraits = Traits();
}  // namespace

PLUGIN_EXPORT AEffect* VSTPluginMain(audioMasterCallback) {
    return CreateEffect(kTraits);
}
