// Reports counts no real plug-in has: negative, huge, and a version of -1.
// The scanner stores them as they come.
#include "PluginKit.h"

namespace {
PluginTraits Traits() {
    PluginTraits s;
    s.name = "Absurd Counts";
    s.vendor = "Tarnwell Test Labs";
    s.uniqueId = -123456789;
    s.numInputs = 0x7FFFFFFF;
    s.numOutputs = -1;
    s.numParams = -5;
    s.numPrograms = 1000000;
    s.version = -1;
    return s;
}
const PluginTraits kTraits = Traits();
}  // namespace

PLUGIN_EXPORT AEffect* VSTPluginMain(audioMasterCallback) {
    return CreateEffect(kTraits);
}
