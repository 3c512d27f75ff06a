// Returns an effect whose magic is not 'VstP': no instance for the scanner.
#include "PluginKit.h"

namespace {
PluginTraits Traits() {
    PluginTraits s;
    s.name = "Wrong Magic";
    s.uniqueId = 0x57524D47;
    return s;
}
const PluginTraits kTraits = Traits();
}  // namespace

PLUGIN_EXPORT AEffect* VSTPluginMain(audioMasterCallback) {
    AEffect* effect = CreateEffect(kTraits);
    effect->magic = 0x50747356;  // 'VstP' byte-swapped
    return effect;
}
