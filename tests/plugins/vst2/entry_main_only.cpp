// An old-style plug-in whose only entry point is "main".
#include "PluginKit.h"

namespace {
PluginTraits Traits() {
    PluginTraits s;
    s.name = "Old Main";
    s.vendor = "Tarnwell Test Labs";
    s.product = "Old Main";
    s.uniqueId = 0x4D41494E;  // 'MAIN'
    s.flags = effFlagsHasEditor;
    return s;
}
const PluginTraits kTraits = Traits();
}  // namespace

// C++ reserves the name main for the program; the symbol is named in assembly.
PLUGIN_EXPORT AEffect* OldStyleMain(audioMasterCallback) __asm__("main");
AEffect* OldStyleMain(audioMasterCallback) {
    return CreateEffect(kTraits);
}
