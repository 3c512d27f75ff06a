// Recurses without end in effSetBlockSize.
#include "vst2/FaultOnOpcode.h"

namespace {
using namespace fault_on_opcode;
const PluginTraits kTraits = Traits("recurses_forever", Hook<effSetBlockSize, Fault::StackOverflow>);
}  // namespace

PLUGIN_EXPORT AEffect* VSTPluginMain(audioMasterCallback) {
    return CreateEffect(kTraits);
}
