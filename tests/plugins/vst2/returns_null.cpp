// Its entry point declines to create an effect.
#include "PluginKit.h"

PLUGIN_EXPORT AEffect* VSTPluginMain(audioMasterCallback) {
    return nullptr;
}
