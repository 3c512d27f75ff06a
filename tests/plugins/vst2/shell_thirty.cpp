// A shell with thirty members, listed as "Thirty\Voice NN": enough for the
// host to be told of the inventory change as soon as the shell is in.
#include "vst2/ShellModule.h"

namespace {
void Build() {
    for (int i = 1; i <= 30; ++i) {
        char listed[64], name[64];
        wsprintfA(listed, "Thirty\\Voice %02d", i);
        wsprintfA(name, "Voice %02d", i);
        shell_module::AddEntry(3000 + i, listed, name);
    }
}
}  // namespace

PLUGIN_EXPORT AEffect* VSTPluginMain(audioMasterCallback host) {
    return shell_module::CreateListed(host, Build);
}
