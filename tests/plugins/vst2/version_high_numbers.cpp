// A plain effect whose version resource has large parts (65535.0.10.65000).
#include "PluginKit.h"

namespace {
PluginTraits Traits() {
    PluginTraits s;
    s.name = "Versioned";
    s.vendor = "Tarnwell Test Labs";
    s.uniqueId = 0x56455253;  // 'VERS'
    s.flags = effFlagsHasEditor;
    return s;
}
const PluginTraits kTraits = Traits();
}  // namespace

PLUGIN_EXPORT AEffect* VSTPluginMain(audioMasterCallback) {
    return CreateEffect(kTraits);
}
