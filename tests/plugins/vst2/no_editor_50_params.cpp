// An effect without editor and with fifty parameters: the generic editor is
// capped at twenty rows. Its product name ends the way bridged names do.
#include "PluginKit.h"

namespace {
const char* const kCanDo[] = {"sendVstEvents", "receiveVstMidiEvents", nullptr};
PluginTraits Traits() {
    PluginTraits s;
    s.name = "Fifty Faders";
    s.vendor = "Tarnwell Test Labs";
    s.product = "Fifty (0)";
    s.uniqueId = 0x46494654;  // 'FIFT'
    s.numInputs = 4;
    s.numOutputs = 6;
    s.numParams = 50;
    s.numPrograms = 0;
    s.version = 2400;
    s.canDo = kCanDo;
    return s;
}
const PluginTraits kTraits = Traits();
}  // namespace

PLUGIN_EXPORT AEffect* VSTPluginMain(audioMasterCallback) {
    return CreateEffect(kTraits);
}
