// A shell whose number of members is read from "<this DLL>.count" (3 when the
// file is missing): a plug-in update that adds or drops members.
#include <cstdlib>

#include "vst2/ShellModule.h"

namespace {
void Build() {
    char text[16];
    int count = plugin_kit::ReadBesideSelf(".count", text, sizeof text) ? atoi(text) : 3;
    if (count < 0) count = 0;
    if (count > static_cast<int>(shell_module::kMaxListed)) count = static_cast<int>(shell_module::kMaxListed);
    for (int i = 1; i <= count; ++i) {
        char name[64];
        wsprintfA(name, "Member %d", i);
        shell_module::AddEntry(4000 + i, name, name);
    }
}
}  // namespace

PLUGIN_EXPORT AEffect* VSTPluginMain(audioMasterCallback host) {
    return shell_module::CreateListed(host, Build);
}
