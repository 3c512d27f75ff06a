// Fills the whole 1024-byte string buffer without a terminator for its name,
// vendor and product: the scanner must read no further and cut to fit.
#include "PluginKit.h"

namespace {

constexpr size_t kBufferBytes = 1024;

// 'a'..'z' repeated, so a test can tell where the text was cut.
void Fill(void* ptr) {
    char* text = static_cast<char*>(ptr);
    for (size_t i = 0; i < kBufferBytes; ++i) text[i] = static_cast<char>('a' + i % 26);
}

bool Hook(AEffect*, int32_t opcode, int32_t, intptr_t, void* ptr, float, intptr_t* result) {
    if (opcode != effGetEffectName && opcode != effGetVendorString && opcode != effGetProductString) return false;
    if (ptr) Fill(ptr);
    *result = 1;
    return true;
}

PluginTraits Traits() {
    PluginTraits s;
    s.uniqueId = 0x4C4F4E47;  // 'LONG'
    s.flags = effFlagsHasEditor;
    s.hook = Hook;
    return s;
}
const PluginTraits kTraits = Traits();

}  // namespace

PLUGIN_EXPORT AEffect* VSTPluginMain(audioMasterCallback) {
    return CreateEffect(kTraits);
}
