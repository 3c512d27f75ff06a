// Writes through a null pointer inside its entry point.
#include "PluginKit.h"

PLUGIN_EXPORT AEffect* VSTPluginMain(audioMasterCallback) {
    plugin_kit::WriteThroughNull();
    return nullptr;
}
