// A shell of the bridge fleet (64-bit and 32-bit builds of this source): the
// entry point creates whatever audioMasterCurrentId names, so through the
// bridge every sub-plug-in must be created with the current id set first.
#include "vst2/ShellModule.h"

namespace {
using shell_module::SubPlugin;
const SubPlugin kSubs[] = {
    {2001, "Bridged\\Organ", "Organ from 2001", 5},
    {2002, "Bridged\\Pad", "Pad from 2002", 8},
};
const PluginTraits kRoot = shell_module::RootTraits(shell_module::RootHook<kSubs, 2>);
const PluginTraits kSubTraits[] = {shell_module::SubTraits(kSubs[0]), shell_module::SubTraits(kSubs[1])};
}  // namespace

PLUGIN_EXPORT AEffect* VSTPluginMain(audioMasterCallback host) {
    intptr_t id = host(nullptr, audioMasterCurrentId, 0, 0, nullptr, 0.0f);
    if (id == 0) return CreateEffect(kRoot);
    for (size_t i = 0; i < 2; ++i)
        if (kSubs[i].id == id) return CreateEffect(kSubTraits[i]);
    return nullptr;
}
