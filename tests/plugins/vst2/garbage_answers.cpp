// A dispatcher that answers every question with nonsense: capabilities with 2
// or -1 (neither counts as yes), a category no plug-in has, and strings and
// vendor queries it never fills in.
#include "PluginKit.h"

namespace {

bool Hook(AEffect* effect, int32_t opcode, int32_t, intptr_t, void*, float, intptr_t* result) {
    if (opcode == effClose) {
        delete effect;
        *result = 0x7F7F7F7F;
        return true;
    }
    static int turn = 0;
    if (opcode == effCanDo) {
        *result = (turn++ % 2) ? 2 : -1;
        return true;
    }
    *result = opcode == effGetPlugCategory ? 0xDEAD : static_cast<intptr_t>(0xBADC0FFEE0DDF00DULL);
    return true;
}

PluginTraits Traits() {
    PluginTraits s;
    s.uniqueId = 0x47524247;  // 'GRBG'
    s.flags = effFlagsHasEditor;
    s.numParams = 3;
    s.hook = Hook;
    return s;
}
const PluginTraits kTraits = Traits();

}  // namespace

PLUGIN_EXPORT AEffect* VSTPluginMain(audioMasterCallback) {
    return CreateEffect(kTraits);
}
