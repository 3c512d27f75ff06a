// An effect that names the VST 3 class it can be replaced by, answering the
// 'stCA'/'FUID' vendor query with sixteen bytes.
#include "PluginKit.h"

namespace {
// The class id {01234567-89AB-CDEF-0123-456789ABCDEF} in memory order.
const unsigned char kFuid[16] = {0x67, 0x45, 0x23, 0x01, 0xAB, 0x89, 0xEF, 0xCD,
                                 0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF};

bool Hook(AEffect*, int32_t opcode, int32_t index, intptr_t value, void* ptr, float, intptr_t* result) {
    if (opcode != effVendorSpecific || index != kVendorQueryCompatible || value != kVendorQueryFuid || !ptr)
        return false;
    memcpy(ptr, kFuid, sizeof kFuid);
    *result = 1;
    return true;
}

PluginTraits Traits() {
    PluginTraits s;
    s.name = "Compatible Reverb";
    s.vendor = "Tarnwell Test Labs";
    s.product = "Reverb";
    s.uniqueId = 0x52455642;  // 'REVB'
    s.flags = effFlagsHasEditor;
    s.hook = Hook;
    return s;
}
const PluginTraits kTraits = Traits();
}  // namespace

PLUGIN_EXPORT AEffect* VSTPluginMain(audioMasterCallback) {
    return CreateEffect(kTraits);
}
