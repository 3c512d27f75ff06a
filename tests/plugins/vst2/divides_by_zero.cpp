// Divides an integer by zero in effSetSampleRate.
#include "vst2/FaultOnOpcode.h"

namespace {
using namespace fault_on_opcode;
const PluginTraits kTraits = Traits("divides_by_zero", Hook<effSetSampleRate, Fault::DivideByZero>);
}  // namespace

PLUGIN_EXPORT AEffect* VSTPluginMain(audioMasterCallback) {
    return CreateEffect(kTraits);
}
