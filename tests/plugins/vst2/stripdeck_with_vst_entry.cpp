// A channel-strip module exporting ZENTAPluginMain and VSTPluginMain, which reports
// itself as not exclusive.
#include "vst2/StripdeckModule.h"

namespace {
const PluginTraits kTraits = stripdeck::Traits("Strip Gate", 0x53474530, false);
}  // namespace

PLUGIN_EXPORT AEffect* ZENTAPluginMain(audioMasterCallback) {
    return CreateEffect(kTraits);
}
PLUGIN_EXPORT AEffect* VSTPluginMain(audioMasterCallback) {
    return CreateEffect(stripdeck::StandardEntryTraits());
}
