// A small kit for the test plug-ins: each plug-in describes itself in a
// PluginTraits and may hook the dispatcher for the behaviour it exists to show.
#pragma once

#include <windows.h>

#include <cstdio>
#include <cstring>

#include "vst2/Vst2Abi.h"

#define PLUGIN_EXPORT extern "C" __declspec(dllexport)

struct PluginTraits {
    const char* name = "";
    const char* vendor = "";
    const char* product = "";
    int32_t uniqueId = 0;
    intptr_t category = 1;  // kPlugCategEffect
    int32_t flags = 0;
    int32_t numInputs = 2;
    int32_t numOutputs = 2;
    int32_t numParams = 0;
    int32_t numPrograms = 1;
    int32_t version = 1000;
    const char* const* canDo = nullptr;  // capabilities answered with 1; null-terminated
    // Called first for every opcode; returns true when it answered itself.
    bool (*hook)(AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt,
                 intptr_t* result) = nullptr;
};

namespace plugin_kit {

inline const PluginTraits*& CurrentSpec() {
    static const PluginTraits* traits = nullptr;
    return traits;
}

inline void CopyText(void* ptr, const char* text) {
    if (ptr && text) strcpy(static_cast<char*>(ptr), text);
}

inline intptr_t Dispatch(AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) {
    const PluginTraits* traits = static_cast<const PluginTraits*>(effect->object);
    intptr_t result = 0;
    if (traits->hook && traits->hook(effect, opcode, index, value, ptr, opt, &result)) return result;
    switch (opcode) {
        case effClose:
            delete effect;
            return 1;
        case effGetPlugCategory:
            return traits->category;
        case effGetEffectName:
            CopyText(ptr, traits->name);
            return 1;
        case effGetVendorString:
            CopyText(ptr, traits->vendor);
            return 1;
        case effGetProductString:
            CopyText(ptr, traits->product);
            return 1;
        case effGetVstVersion:
            return 2400;
        case effCanDo:
            if (traits->canDo && ptr)
                for (const char* const* c = traits->canDo; *c; ++c)
                    if (!strcmp(*c, static_cast<const char*>(ptr))) return 1;
            return 0;
        default:
            return 0;
    }
}

// The full path of this DLL followed by `suffix` (a file beside the plug-in).
inline void PathBesideSelf(const char* suffix, char* out, size_t size) {
    HMODULE self = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&PathBesideSelf), &self);
    out[0] = 0;
    GetModuleFileNameA(self, out, static_cast<DWORD>(size));
    out[size - 1] = 0;
    if (strlen(out) + strlen(suffix) < size) strcat(out, suffix);
}

// Appends text to the file beside the plug-in; tests read it back.
inline void AppendBesideSelf(const char* suffix, const char* text) {
    char path[MAX_PATH + 32];
    PathBesideSelf(suffix, path, sizeof path);
    HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, text, static_cast<DWORD>(strlen(text)), &written, nullptr);
    CloseHandle(file);
}

// The contents of "<this DLL's path><suffix>", or false when there is no such file.
inline bool ReadBesideSelf(const char* suffix, char* out, size_t size) {
    char path[MAX_PATH + 32];
    PathBesideSelf(suffix, path, sizeof path);
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

// Faults the test plug-ins raise on purpose. volatile keeps the compiler
// from proving them away.
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
