// A well-behaved stereo effect with an editor and a version resource.
#include "PluginKit.h"

namespace {
const char* const kCanDo[] = {"receiveVstTimeInfo", nullptr};
PluginTraits Traits() {
    PluginTraits s;
    s.name = "Echo Chamber";
    s.vendor = "Tarnwell Test Labs";
    s.product = "Echo Chamber Pro";
    s.uniqueId = 0x45434831;  // 'ECH1'
    s.flags = effFlagsHasEditor | effFlagsCanReplacing | effFlagsProgramChunks;
    s.numParams = 12;
    s.numPrograms = 16;
    s.version = 1203;
    s.canDo = kCanDo;
    return s;
}
const PluginTraits kTraits = Traits();
}  // namespace

PLUGIN_EXPORT AEffect* VSTPluginMain(audioMasterCallback) {
    return CreateEffect(kTraits);
}
