// An effect of the bridge fleet: built once for 64-bit and once for 32-bit
// (tests/plugins/bits32), so the scanner can only reach the 32-bit copy
// through the bridge. Its vendor and product come back with the bridge's
// server suffix, which the scanner must cut.
#include "PluginKit.h"

namespace {
const char* const kCanDo[] = {"receiveVstTimeInfo", nullptr};
PluginTraits Traits() {
    PluginTraits s;
    s.name = "Bridged Echo";
    s.vendor = "Tarnwell Bridge Labs";
    s.product = "Bridged Echo Pro";
    s.uniqueId = 0x42724563;  // 'BrEc'
    s.numInputs = 2;
    s.numOutputs = 2;
    s.numParams = 3;
    s.numPrograms = 4;
    s.version = 1203;
    s.canDo = kCanDo;
    return s;
}
const PluginTraits kTraits = Traits();
}  // namespace

PLUGIN_EXPORT AEffect* VSTPluginMain(audioMasterCallback) {
    return CreateEffect(kTraits);
}
