// A shell that never answers 0 to the listing call: every question brings
// another member, none of which can be created.
#include "vst2/ShellModule.h"

namespace {

bool ListForEver(AEffect* effect, int32_t opcode, int32_t, intptr_t, void* ptr, float, intptr_t* result) {
    if (opcode != effShellGetNextPlugin) return false;
    size_t next = reinterpret_cast<size_t>(effect->user) + 1;
    effect->user = reinterpret_cast<void*>(next);
    char name[32];
    wsprintfA(name, "Member %u", static_cast<unsigned>(next));
    plugin_kit::CopyText(ptr, name);
    *result = static_cast<intptr_t>(next);
    return true;
}

const PluginTraits kRoot = shell_module::RootTraits(ListForEver);

}  // namespace

PLUGIN_EXPORT AEffect* VSTPluginMain(audioMasterCallback host) {
    return host(nullptr, audioMasterCurrentId, 0, 0, nullptr, 0.0f) == 0 ? CreateEffect(kRoot) : nullptr;
}
