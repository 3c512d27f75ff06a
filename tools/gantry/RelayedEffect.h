// The effect the bridge stand-in hands to the scanner: an AEffect of its own
// whose calls are relayed to the plug-in it hosts, as a real bridge's proxy
// effect relays them to its server process.
#pragma once

#include <windows.h>

#include "vst2/Vst2Abi.h"

// Wraps `plugin`, created by the entry point of `module`. The relay owns one
// reference of the module and frees it once the plug-in has been closed
// (effClose), so every bridged instance keeps its DLL loaded while it lives.
AEffect* RelayEffect(AEffect* plugin, HMODULE module);
