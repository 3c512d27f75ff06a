// Never returns from its entry call: only a time limit can get past it.
#include "PluginKit.h"

PLUGIN_EXPORT AEffect* VSTPluginMain(audioMasterCallback) {
    for (;;) Sleep(1000);
}
