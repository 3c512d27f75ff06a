// Names in UTF-8, as plug-ins built on today's frameworks give them: an
// effect "Café Réverb" from "Tarnwell Tëst Labs". With a file "<dll>.shell"
// beside it, it is a shell instead, whose one member is listed as
// "Ünïcode Café Shell" and reports no name of its own.
#include "vst2/ShellModule.h"

namespace {
PluginTraits Effect() {
    PluginTraits s;
    s.name = "Caf\xC3\xA9 R\xC3\xA9verb";
    s.vendor = "Tarnwell T\xC3\xABst Labs";
    s.product =
        "Pr\xC3\xB6"
        "duct \xE2\x84\xA2";
    s.uniqueId = 0x55544638;  // 'UTF8'
    return s;
}
const shell_module::SubPlugin kSubs[] = {{0x55544639,
                                          "\xC3\x9Cn\xC3\xAF"
                                          "code Caf\xC3\xA9 Shell",
                                          "", 0}};
const PluginTraits kEffect = Effect();
const PluginTraits kRoot = shell_module::RootTraits(shell_module::RootHook<kSubs, 1>);
const PluginTraits kMember = shell_module::SubTraits(kSubs[0]);
}  // namespace

PLUGIN_EXPORT AEffect* VSTPluginMain(audioMasterCallback host) {
    char ignored[4];
    if (!plugin_kit::ReadBesideSelf(".shell", ignored, sizeof ignored)) return CreateEffect(kEffect);
    intptr_t id = host(nullptr, audioMasterCurrentId, 0, 0, nullptr, 0.0f);
    if (id == 0) return CreateEffect(kRoot);
    return id == kSubs[0].id ? CreateEffect(kMember) : nullptr;
}
