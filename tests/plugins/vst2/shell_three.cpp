// A shell hosting three sub-plug-ins, listed as "Trio\<name>".
#include "vst2/ShellModule.h"

namespace {
using shell_module::SubPlugin;
const SubPlugin kSubs[] = {
    {1001, "Trio\\Alpha", "Alpha from 1001", 4},
    {1002, "Trio\\Beta", "Beta from 1002", 30},
    {-1003, "Trio\\Gamma", "", 0},  // reports no name: the listed one stays
};
const PluginTraits kRoot = shell_module::RootTraits(shell_module::RootHook<kSubs, 3>);
const PluginTraits kSubTraits[] = {shell_module::SubTraits(kSubs[0]), shell_module::SubTraits(kSubs[1]),
                                   shell_module::SubTraits(kSubs[2])};
}  // namespace

PLUGIN_EXPORT AEffect* VSTPluginMain(audioMasterCallback host) {
    intptr_t id = host(nullptr, audioMasterCurrentId, 0, 0, nullptr, 0.0f);
    if (id == 0) return CreateEffect(kRoot);
    for (size_t i = 0; i < 3; ++i)
        if (kSubs[i].id == id) return CreateEffect(kSubTraits[i]);
    return nullptr;
}
