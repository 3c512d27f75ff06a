// Lets a C++ exception escape from effGetProgram.
#include "vst2/FaultOnOpcode.h"

namespace {
using namespace fault_on_opcode;
const PluginTraits kTraits = Traits("throws_in_get_program", Hook<effGetProgram, Fault::CppThrow>);
}  // namespace

PLUGIN_EXPORT AEffect* VSTPluginMain(audioMasterCallback) {
    return CreateEffect(kTraits);
}
