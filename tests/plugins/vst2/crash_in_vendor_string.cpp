// Writes through a null pointer when asked its vendor name.
#include "vst2/FaultOnOpcode.h"

namespace {
using namespace fault_on_opcode;
const PluginTraits kTraits = Traits("crash_in_vendor_string", Hook<effGetVendorString, Fault::AccessViolation>);
}  // namespace

PLUGIN_EXPORT AEffect* VSTPluginMain(audioMasterCallback) {
    return CreateEffect(kTraits);
}
