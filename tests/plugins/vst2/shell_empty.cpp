// A shell that lists no sub-plug-in at all.
#include "vst2/ShellModule.h"

namespace {
const shell_module::SubPlugin kNone[1] = {{0, "", "", 0}};
const PluginTraits kRoot = shell_module::RootTraits(shell_module::RootHook<kNone, 0>);
}  // namespace

PLUGIN_EXPORT AEffect* VSTPluginMain(audioMasterCallback) {
    return CreateEffect(kRoot);
}
