// Writes through a null pointer when asked any capability.
#include "vst2/FaultOnOpcode.h"

namespace {
using namespace fault_on_opcode;
const PluginTraits kTraits = Traits("crash_in_cando", Hook<effCanDo, Fault::AccessViolation>);
}  // namespace

PLUGIN_EXPORT AEffect* VSTPluginMain(audioMasterCallback) {
    return CreateEffect(kTraits);
}
