// Shell test plug-ins: the entry point asks the host which plug-in to create
// (audioMasterCurrentId); 0 gives the shell root, which lists its sub-plug-ins
// through effShellGetNextPlugin, any listed id gives that sub-plug-in.
#pragma once

#include "PluginKit.h"

namespace shell_module {

struct SubPlugin {
    int32_t id;
    const char* listedName;  // what effShellGetNextPlugin reports
    const char* effectName;  // what the created sub-plug-in reports
    int32_t numParams;
};

template <const SubPlugin* List, size_t Count>
bool RootHook(AEffect* effect, int32_t opcode, int32_t, intptr_t, void* ptr, float, intptr_t* result) {
    if (opcode != effShellGetNextPlugin) return false;
    size_t next = reinterpret_cast<size_t>(effect->user);
    if (next >= Count) {
        *result = 0;
        return true;
    }
    effect->user = reinterpret_cast<void*>(next + 1);
    plugin_kit::CopyText(ptr, List[next].listedName);
    *result = List[next].id;
    return true;
}

inline PluginTraits RootTraits(bool (*hook)(AEffect*, int32_t, int32_t, intptr_t, void*, float, intptr_t*)) {
    PluginTraits s;
    s.name = "Shell Root";
    s.vendor = "Tarnwell Test Labs";
    s.uniqueId = 0x5348454C;  // 'SHEL'
    s.category = kPlugCategShell;
    s.hook = hook;
    return s;
}

inline PluginTraits SubTraits(const SubPlugin& sub) {
    PluginTraits s;
    s.name = sub.effectName;
    s.vendor = "Tarnwell Shell Vendor";
    s.product = "Shell Member";
    s.uniqueId = sub.id;
    s.numParams = sub.numParams;
    s.flags = effFlagsIsSynth;
    return s;
}

}  // namespace shell_module
