// An effect without editor and with seven parameters: the host draws its
// generic editor, one row per parameter. Its vendor name is not plain ASCII.
#include "PluginKit.h"

namespace {
PluginTraits Traits() {
    PluginTraits s;
    s.name = "Seven Knobs";
    s.vendor = "Caf\xE9 Audio";  // ANSI code page 1252
    s.product = "Seven";
    s.uniqueId = 0x53564E37;  // 'SVN7'
    s.flags = effFlagsCanReplacing | effFlagsCanDoubleReplacing;
    s.numInputs = 1;
    s.numOutputs = 1;
    s.numParams = 7;
    s.numPrograms = 3;
    s.version = 7;
    return s;
}
const PluginTraits kTraits = Traits();
}  // namespace

PLUGIN_EXPORT AEffect* VSTPluginMain(audioMasterCallback) {
    return CreateEffect(kTraits);
}
