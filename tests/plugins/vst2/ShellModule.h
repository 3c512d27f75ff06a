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

// Answers effShellGetNextPlugin from a list of entries (each with an `id`
// and a `listedName`); the root's `user` field counts those listed so far.
template <class Entry>
bool AnswerNext(AEffect* effect, int32_t opcode, void* ptr, intptr_t* result, const Entry* list, size_t count) {
    if (opcode != effShellGetNextPlugin) return false;
    size_t next = reinterpret_cast<size_t>(effect->user);
    if (next >= count) {
        *result = 0;
        return true;
    }
    effect->user = reinterpret_cast<void*>(next + 1);
    plugin_kit::CopyText(ptr, list[next].listedName);
    *result = list[next].id;
    return true;
}

template <const SubPlugin* List, size_t Count>
bool RootHook(AEffect* effect, int32_t opcode, int32_t, intptr_t, void* ptr, float, intptr_t* result) {
    return AnswerNext(effect, opcode, ptr, result, List, Count);
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

// Shells whose listing is only decided when they are loaded (by a file beside
// them), and which note in "<their path>.created" every instance the host
// makes them create: "root" for the shell itself, "sub <id>" for a member. A
// test reads that file to tell whether a scan created members at all.
namespace shell_module {

struct ListedEntry {
    int32_t id = 0;
    char listedName[64] = {};
    char effectName[64] = {};
    PluginTraits traits;
};

constexpr size_t kMaxListed = 64;

struct Listing {
    ListedEntry entries[kMaxListed];
    size_t count = 0;
    bool built = false;
};

inline Listing& CurrentListing() {
    static Listing listing;
    return listing;
}

inline void AddEntry(int32_t id, const char* listedName, const char* effectName) {
    Listing& l = CurrentListing();
    if (l.count >= kMaxListed) return;
    ListedEntry& e = l.entries[l.count++];
    e.id = id;
    lstrcpynA(e.listedName, listedName, sizeof e.listedName);
    lstrcpynA(e.effectName, effectName, sizeof e.effectName);
    e.traits.name = e.effectName;
    e.traits.vendor = "Tarnwell Shell Vendor";
    e.traits.product = "Listed Member";
    e.traits.uniqueId = id;
    e.traits.numParams = 2;
}

inline bool ListingHook(AEffect* effect, int32_t opcode, int32_t, intptr_t, void* ptr, float, intptr_t* result) {
    const Listing& l = CurrentListing();
    return AnswerNext(effect, opcode, ptr, result, l.entries, l.count);
}

// The entry point of such a shell: `build` fills the listing once, then the
// host's current id picks the root (0) or a member. `beforeMember` may act
// on the member about to be created (a fault, say).
inline AEffect* CreateListed(audioMasterCallback host, void (*build)(), void (*beforeMember)(int32_t id) = nullptr) {
    static const PluginTraits root = RootTraits(ListingHook);
    Listing& l = CurrentListing();
    if (!l.built) {
        l.built = true;
        build();
    }
    intptr_t id = host(nullptr, audioMasterCurrentId, 0, 0, nullptr, 0.0f);
    if (id == 0) {
        plugin_kit::AppendBesideSelf(".created", "root\n");
        return CreateEffect(root);
    }
    for (size_t i = 0; i < l.count; ++i) {
        if (l.entries[i].id != id) continue;
        char line[32];
        wsprintfA(line, "sub %d\n", static_cast<int>(id));
        plugin_kit::AppendBesideSelf(".created", line);
        if (beforeMember) beforeMember(l.entries[i].id);
        return CreateEffect(l.entries[i].traits);
    }
    return nullptr;
}

}  // namespace shell_module
