// An instrument of the bridge fleet (64-bit and 32-bit builds of this source).
// A bridged instrument cannot report its latency, so its record must turn
// delay compensation off.
#include "PluginKit.h"

namespace {
const char* const kCanDo[] = {"receiveVstEvents", nullptr};
PluginTraits Traits() {
    PluginTraits s;
    s.name = "Bridged Keys";
    s.vendor = "Tarnwell Bridge Labs";
    s.product = "Bridged Keys Studio";
    s.uniqueId = 0x42724b79;  // 'BrKy'
    s.category = 2;           // kPlugCategSynth
    s.flags = effFlagsIsSynth | effFlagsCanReplacing | effFlagsHasEditor;
    s.numInputs = 0;
    s.numOutputs = 4;
    s.numParams = 12;
    s.numPrograms = 16;
    s.canDo = kCanDo;
    return s;
}
const PluginTraits kTraits = Traits();
}  // namespace

PLUGIN_EXPORT AEffect* VSTPluginMain(audioMasterCallback) {
    return CreateEffect(kTraits);
}
