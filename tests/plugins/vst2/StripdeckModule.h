// The host's own channel-strip modules: created through "ZENTAPluginMain",
// they answer the vendor-specific queries for exclusivity (5002) and module
// type (5001). Each stripdeck_*.cpp picks its exports and answers.
#pragma once

#include "PluginKit.h"

namespace stripdeck {

constexpr int32_t kModuleType = 7;

template <int32_t Exclusive>
bool Hook(AEffect*, int32_t opcode, int32_t index, intptr_t, void* ptr, float, intptr_t* result) {
    if (opcode != effVendorSpecific || !ptr) return false;
    if (index == kVstParamStripdeckExclusive) {
        *static_cast<int32_t*>(ptr) = Exclusive;
        *result = 1;
        return true;
    }
    if (index == kVstParamStripdeckModuleType) {
        *static_cast<int32_t*>(ptr) = kModuleType;
        *result = 1;
        return true;
    }
    return false;
}

inline PluginTraits Traits(const char* name, int32_t id, bool exclusive) {
    PluginTraits s;
    s.name = name;
    s.vendor = "Tarnwell";
    s.product = "Stripdeck";
    s.uniqueId = id;
    s.flags = effFlagsHasEditor;
    s.hook = exclusive ? Hook<1> : Hook<0>;
    return s;
}

// What the standard entry point creates when a module exports one: a name
// the scanner must never record, since the private entry point wins.
inline const PluginTraits& StandardEntryTraits() {
    static const PluginTraits traits = [] {
        PluginTraits s;
        s.name = "Created by VSTPluginMain";
        s.uniqueId = 0x56535450;
        return s;
    }();
    return traits;
}

}  // namespace stripdeck
