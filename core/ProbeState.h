// Process-wide state the probes share with the VST 2 host callback.
#pragma once

#include <cstdint>

// Answered to audioMasterCurrentId: 0 while a module's first instance is
// created, then the id of the plug-in being created or interrogated (VST 3:
// the class index).
extern int64_t g_currentPluginId;
// Set when a plug-in asks for MIDI or confirms a "receive" capability.
extern uint32_t g_eventsFlag;
// Full path of the bridge DLL ("Gantry.dll" beside the program); empty
// until the first bridged load, then kept for the process.
extern wchar_t g_bridgePath[260];
