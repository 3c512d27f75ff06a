// A channel-strip module that hands the scanner a thumbnail (5003, value 0)
// and a stand-in picture (value 1). When it is closed it notes beside itself
// whether the scanner has deleted the bitmaps it received (".handles").
#include "vst2/StripdeckModule.h"
#include "vst2/StripdeckPictures.h"

namespace {

HBITMAP g_handed[2] = {};

bool Hook(AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt, intptr_t* result) {
    if (opcode == effVendorSpecific && index == kVstParamStripdeckBitmaps && ptr && (value == 0 || value == 1)) {
        g_handed[value] =
            stripdeck_pictures::Draw(value == 0 ? stripdeck_pictures::kThumbnail : stripdeck_pictures::kStandIn);
        *static_cast<HBITMAP*>(ptr) = g_handed[value];
        *result = 1;
        return true;
    }
    if (opcode == effClose) {
        for (int i = 0; i < 2; ++i) {
            if (!g_handed[i]) continue;
            const char* name = i == 0 ? "thumbnail" : "standin";
            char line[64];
            snprintf(line, sizeof line, "%s %s\n", name, GetObjectType(g_handed[i]) == 0 ? "deleted" : "alive");
            plugin_kit::AppendBesideSelf(".handles", line);
            g_handed[i] = nullptr;
        }
        return false;  // the kit frees the instance
    }
    return stripdeck::Hook<0>(effect, opcode, index, value, ptr, opt, result);
}

PluginTraits Traits() {
    PluginTraits s = stripdeck::Traits("Strip Pictures", 0x53504943, false);  // 'SPIC'
    s.hook = Hook;
    return s;
}
const PluginTraits kTraits = Traits();

}  // namespace

PLUGIN_EXPORT AEffect* ZENTAPluginMain(audioMasterCallback) {
    return CreateEffect(kTraits);
}
