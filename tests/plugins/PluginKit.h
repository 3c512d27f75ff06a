// A small kit for the VST 2 test plug-ins: each plug-in is one row of
// PluginTraits, and may hook the dispatcher or its own creation for the
// behaviour it exists to show.
#pragma once

#include <windows.h>

#include <cstdio>
#include <cstring>

#include "BesideSelf.h"
#include "vst2/Vst2Abi.h"

#define PLUGIN_EXPORT extern "C" __declspec(dllexport)

struct PluginTraits;
// Called first for every opcode; returns true when it answered itself.
using PluginHook = bool (*)(AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt,
                            intptr_t* result);
// Stands in for the plain creation of the effect by the entry point.
using PluginCreate = AEffect* (*)(audioMasterCallback host, const PluginTraits& traits);

struct PluginTraits {
    const char* dll;  // the DLL these traits are for, or "<dll>/<entry point>"
    const char* name;
    const char* vendor;
    const char* product;
    int32_t uniqueId;
    int32_t flags;
    PluginHook hook = nullptr;
    PluginCreate create = nullptr;
    const char* canDo = "";  // capabilities answered with 1, each ended by '|'
    intptr_t category = 1;   // kPlugCategEffect
    int32_t numParams = 0;
    int32_t numPrograms = 1;
    int32_t numInputs = 2;
    int32_t numOutputs = 2;
    int32_t version = 1000;
};

namespace plugin_kit {

inline void CopyText(void* ptr, const char* text) {
    if (ptr && text) strcpy(static_cast<char*>(ptr), text);
}

inline bool CanDo(const char* list, const char* asked) {
    const size_t n = strlen(asked);
    for (const char* c = list; n && *c; c = strchr(c, '|') + 1)
        if (!strncmp(c, asked, n) && c[n] == '|') return true;
    return false;
}

inline intptr_t Dispatch(AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) {
    const PluginTraits* traits = static_cast<const PluginTraits*>(effect->object);
    intptr_t result = 0;
    if (traits->hook && traits->hook(effect, opcode, index, value, ptr, opt, &result)) return result;
    if (opcode == effClose) {
        delete effect;
        return 1;
    }
    if (opcode == effGetPlugCategory) return traits->category;
    if (opcode == effGetVstVersion) return 2400;
    if (opcode == effCanDo) return ptr && CanDo(traits->canDo, static_cast<const char*>(ptr)) ? 1 : 0;
    const char* text = opcode == effGetEffectName      ? traits->name
                       : opcode == effGetVendorString  ? traits->vendor
                       : opcode == effGetProductString ? traits->product
                                                       : nullptr;
    if (text) CopyText(ptr, text);
    return text ? 1 : 0;
}

// A fault the test plug-ins raise on purpose; volatile keeps the compiler
// from proving it away.
inline void WriteThroughNull() {
    *static_cast<volatile int*>(nullptr) = 1;
}

}  // namespace plugin_kit

// Builds an effect instance from the traits; freed by effClose.
inline AEffect* CreateEffect(const PluginTraits& traits) {
    AEffect* effect = new AEffect();
    effect->magic = kEffectMagic;
    effect->dispatcher = plugin_kit::Dispatch;
    effect->numPrograms = traits.numPrograms;
    effect->numParams = traits.numParams;
    effect->numInputs = traits.numInputs;
    effect->numOutputs = traits.numOutputs;
    effect->flags = traits.flags;
    effect->uniqueID = traits.uniqueId;
    effect->version = traits.version;
    effect->object = const_cast<PluginTraits*>(&traits);
    return effect;
}

// What an entry point of this DLL (PLUGIN, its name) creates: the row for
// "<dll>/<entry>" when there is one, else the row for the DLL.
template <size_t N>
AEffect* CreateFromTable(const PluginTraits (&rows)[N], const char* dll, const char* entry, audioMasterCallback host) {
    char key[96];
    snprintf(key, sizeof key, "%s/%s", dll, entry);
    for (const char* wanted : {static_cast<const char*>(key), dll})
        for (const PluginTraits& row : rows)
            if (!strcmp(row.dll, wanted)) return row.create ? row.create(host, row) : CreateEffect(row);
    return nullptr;
}
