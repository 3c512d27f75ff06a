// A shell of three members whose second one is called "Green", or "Green
// Renamed" once a file "<this DLL>.renamed" lies beside it: a member that a
// plug-in update renamed.
#include "vst2/ShellModule.h"

namespace {
void Build() {
    char unused[8];
    const bool renamed = plugin_kit::ReadBesideSelf(".renamed", unused, sizeof unused);
    shell_module::AddEntry(2001, "Red", "Red");
    shell_module::AddEntry(2002, renamed ? "Green Renamed" : "Green", renamed ? "Green Renamed" : "Green");
    shell_module::AddEntry(2003, "Blue", "Blue");
}
}  // namespace

PLUGIN_EXPORT AEffect* VSTPluginMain(audioMasterCallback host) {
    return shell_module::CreateListed(host, Build);
}
