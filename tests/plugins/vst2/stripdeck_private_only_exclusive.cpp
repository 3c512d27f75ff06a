// A channel-strip module exporting ZENTAPluginMain, which reports
// itself exclusive to the host.
#include "vst2/StripdeckModule.h"

namespace {
const PluginTraits kTraits = stripdeck::Traits("Strip Comp", 0x53434D30, true);
}  // namespace

PLUGIN_EXPORT AEffect* ZENTAPluginMain(audioMasterCallback) {
    return CreateEffect(kTraits);
}
