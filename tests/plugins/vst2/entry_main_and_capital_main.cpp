// Exports "main" and "Main", each creating a differently named effect: the
// name the scanner records tells which one it called ("main" comes first).
#include "PluginKit.h"

namespace {
PluginTraits Traits(const char* name, int32_t id) {
    PluginTraits s;
    s.name = name;
    s.vendor = "Tarnwell Test Labs";
    s.uniqueId = id;
    s.flags = effFlagsHasEditor;
    return s;
}
const PluginTraits kLower = Traits("Created by main", 0x6D61696E);  // 'main'
const PluginTraits kUpper = Traits("Created by Main", 0x4D61696E);  // 'Main'
}  // namespace

PLUGIN_EXPORT AEffect* LowerMain(audioMasterCallback) __asm__("main");
AEffect* LowerMain(audioMasterCallback) {
    return CreateEffect(kLower);
}
PLUGIN_EXPORT AEffect* Main(audioMasterCallback) {
    return CreateEffect(kUpper);
}
