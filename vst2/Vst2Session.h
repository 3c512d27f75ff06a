// The local state of one VST 2 probe, shared by its steps: the module it
// holds, how the plug-in is created, what the shell walk found.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "vst2/Vst2Abi.h"

// "VSTPluginMain", "main", "Main" and the private "ZENTAPluginMain".
typedef AEffect* (*Vst2EntryProc)(audioMasterCallback host);
// The bridge's loader: the plug-in path in the ANSI code page and our callback.
typedef AEffect* (*LoadVst32Proc)(const char* path, audioMasterCallback host);

struct ShellEntry {
    int32_t id = 0;
    wchar_t name[260] = {};
};

struct Vst2Session {
    // The plug-in DLL, or the bridge when the plug-in could not be loaded
    // itself. Deliberately not an owner: after a fault in plug-in code the
    // module stays loaded (the guard unwinds past the probe).
    HMODULE module = nullptr;
    Vst2EntryProc entry = nullptr;
    LoadVst32Proc bridgeLoad = nullptr;
    bool loadedDirectly = false;
    DWORD loadError = 0;  // why the module itself did not load
    bool internalModule = false;
    intptr_t category = 0;
    std::vector<ShellEntry> entries;
    bool scanEntries = true;
    DWORD instances = 0;
};
