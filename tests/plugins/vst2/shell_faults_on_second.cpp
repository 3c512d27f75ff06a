// A shell of three members that faults while the host creates the second:
// the first member is already interrogated when the fault comes.
#include "vst2/ShellModule.h"

namespace {
void Build() {
    shell_module::AddEntry(5001, "First", "First");
    shell_module::AddEntry(5002, "Second", "Second");
    shell_module::AddEntry(5003, "Third", "Third");
}

void BeforeMember(int32_t id) {
    if (id == 5002) plugin_kit::WriteThroughNull();
}
}  // namespace

PLUGIN_EXPORT AEffect* VSTPluginMain(audioMasterCallback host) {
    return shell_module::CreateListed(host, Build, BeforeMember);
}
