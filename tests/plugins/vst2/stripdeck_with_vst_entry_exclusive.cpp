// A channel-strip module exporting ZENTAPluginMain and VSTPluginMain, which reports
// itself exclusive to the host.
#include "vst2/StripdeckModule.h"

namespace {
const PluginTraits kTraits = stripdeck::Traits("Strip Limiter", 0x534C4D30, true);
}  // namespace

PLUGIN_EXPORT AEffect* ZENTAPluginMain(audioMasterCallback) {
    return CreateEffect(kTraits);
}
PLUGIN_EXPORT AEffect* VSTPluginMain(audioMasterCallback) {
    return CreateEffect(stripdeck::StandardEntryTraits());
}
