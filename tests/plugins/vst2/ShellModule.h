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
    if (opcode != effShellGetNextPlugin) return false;
    const Listing& l = CurrentListing();
    size_t next = reinterpret_cast<size_t>(effect->user);
    if (next >= l.count) {
        *result = 0;
        return true;
    }
    effect->user = reinterpret_cast<void*>(next + 1);
    plugin_kit::CopyText(ptr, l.entries[next].listedName);
    *result = l.entries[next].id;
    return true;
}

// The contents of "<this DLL's path><suffix>", or false when there is no such file.
inline bool ReadBesideSelf(const char* suffix, char* out, size_t size) {
    char path[MAX_PATH + 32];
    plugin_kit::PathBesideSelf(suffix, path, sizeof path);
    out[0] = 0;
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD read = 0;
    ReadFile(file, out, static_cast<DWORD>(size - 1), &read, nullptr);
    out[read] = 0;
    CloseHandle(file);
    return true;
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
