// Ends the whole process from inside its entry point.
#include "PluginKit.h"

PLUGIN_EXPORT AEffect* VSTPluginMain(audioMasterCallback) {
    ExitProcess(4);
    return nullptr;
}
