// Shell test plug-ins: the entry point asks the host which plug-in to create
// (audioMasterCurrentId); 0 gives the shell root, which lists its members
// through effShellGetNextPlugin, any listed id gives that member. A shell's
// listing is built when it is first loaded, so a file beside it may decide it.
#pragma once

#include "PluginKit.h"

namespace shells {

struct Member {
    char listedName[64];  // what effShellGetNextPlugin reports
    char effectName[64];  // what the created member reports
    PluginTraits traits;
};

constexpr size_t kMaxMembers = 64;
inline Member g_members[kMaxMembers];
inline size_t g_count = 0;

inline void Add(int32_t id, const char* listed, const char* name, int32_t params = 2,
                const char* product = "Listed Member", int32_t flags = 0) {
    if (g_count >= kMaxMembers) return;
    Member& m = g_members[g_count++];
    lstrcpynA(m.listedName, listed, sizeof m.listedName);
    lstrcpynA(m.effectName, name, sizeof m.effectName);
    m.traits = {"", m.effectName, "Tarnwell Shell Vendor", product, id, flags, nullptr, nullptr, "", 1, params};
}

// The root's `user` field counts the members listed so far.
inline bool ListMembers(AEffect* effect, int32_t opcode, int32_t, intptr_t, void* ptr, float, intptr_t* result) {
    if (opcode != effShellGetNextPlugin) return false;
    size_t next = reinterpret_cast<size_t>(effect->user);
    *result = 0;
    if (next >= g_count) return true;
    effect->user = reinterpret_cast<void*>(next + 1);
    plugin_kit::CopyText(ptr, g_members[next].listedName);
    *result = g_members[next].traits.uniqueId;
    return true;
}

// A shell that never answers 0 to the listing call: every question brings
// another member, none of which can be created.
inline bool ListForEver(AEffect* effect, int32_t opcode, int32_t, intptr_t, void* ptr, float, intptr_t* result) {
    if (opcode != effShellGetNextPlugin) return false;
    size_t next = reinterpret_cast<size_t>(effect->user) + 1;
    effect->user = reinterpret_cast<void*>(next);
    char name[32];
    wsprintfA(name, "Member %u", static_cast<unsigned>(next));
    plugin_kit::CopyText(ptr, name);
    *result = static_cast<intptr_t>(next);
    return true;
}

// The entry point of a shell whose root is `root`. With `Notes`, every
// instance the host makes it create is noted in "<its path>.created": "root"
// for the shell itself, "sub <id>" for a member, so that a test can tell
// whether a scan created members at all. Creating member `FaultOn` faults.
template <void (*Build)(), bool Notes, int32_t FaultOn = 0>
AEffect* Create(audioMasterCallback host, const PluginTraits& root) {
    static bool built = false;
    if (!built) Build();
    built = true;
    intptr_t id = host(nullptr, audioMasterCurrentId, 0, 0, nullptr, 0.0f);
    if (id == 0 && Notes) plugin_kit::AppendBesideSelf(".created", "root\n");
    if (id == 0) return CreateEffect(root);
    for (size_t i = 0; i < g_count; ++i) {
        if (g_members[i].traits.uniqueId != id) continue;
        char line[32];
        wsprintfA(line, "sub %d\n", static_cast<int>(id));
        if (Notes) plugin_kit::AppendBesideSelf(".created", line);
        if (id == FaultOn) plugin_kit::WriteThroughNull();
        return CreateEffect(g_members[i].traits);
    }
    return nullptr;
}

// The row of a shell DLL: its root's traits and how it creates.
inline PluginTraits Root(const char* dll, PluginCreate create, PluginHook hook = ListMembers) {
    return {dll, "Shell Root", "Tarnwell Test Labs", "", 0x5348454C, 0, hook, create, "", kPlugCategShell};  // 'SHEL'
}

}  // namespace shells
