// A channel-strip module exporting ZENTAPluginMain, which reports
// itself as not exclusive.
#include "vst2/StripdeckModule.h"

namespace {
const PluginTraits kTraits = stripdeck::Traits("Strip EQ", 0x53455130, false);
}  // namespace

PLUGIN_EXPORT AEffect* ZENTAPluginMain(audioMasterCallback) {
    return CreateEffect(kTraits);
}
