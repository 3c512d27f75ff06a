// An offline-only effect: it answers the "noRealTime" capability with 1.
#include "PluginKit.h"

namespace {
const char* const kCanDo[] = {"noRealTime", "receiveVstTimeInfo", nullptr};
PluginTraits Traits() {
    PluginTraits s;
    s.name = "Offline Renderer";
    s.vendor = "Tarnwell Test Labs";
    s.product = "Renderer";
    s.uniqueId = 0x4F46464C;  // 'OFFL'
    s.flags = effFlagsHasEditor;
    s.canDo = kCanDo;
    return s;
}
const PluginTraits kTraits = Traits();
}  // namespace

PLUGIN_EXPORT AEffect* VSTPluginMain(audioMasterCallback) {
    return CreateEffect(kTraits);
}
