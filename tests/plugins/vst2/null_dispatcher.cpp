// Returns an effect with the right magic but no dispatcher.
#include "PluginKit.h"

namespace {
PluginTraits Traits() {
    PluginTraits s;
    s.name = "No Dispatcher";
    s.uniqueId = 0x4E444953;
    return s;
}
const PluginTraits kTraits = Traits();
}  // namespace

PLUGIN_EXPORT AEffect* VSTPluginMain(audioMasterCallback) {
    AEffect* effect = CreateEffect(kTraits);
    effect->dispatcher = nullptr;
    return effect;
}
