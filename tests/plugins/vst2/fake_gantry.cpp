// Stands in for the bridge "Gantry.dll" when a test puts it beside the
// program: LoadVST32 creates an effect for any path that names
// "unloadable.dll", with names carrying the suffix the bridge adds.
#include "PluginKit.h"

namespace {
PluginTraits Traits() {
    PluginTraits s;
    s.name = "Bridged Name (0)";  // the effect name is never cut
    s.vendor = " (0)";            // four characters: too short to cut
    s.product = "Bridged Product (0)";
    s.uniqueId = 0x42524447;  // 'BRDG'
    s.numParams = 2;
    return s;
}
const PluginTraits kTraits = Traits();
}  // namespace

PLUGIN_EXPORT AEffect* LoadVST32(const char* path, audioMasterCallback) {
    if (!path || !strstr(path, "unloadable.dll")) return nullptr;
    return CreateEffect(kTraits);
}
