// The VST 3 probe: loads one module, walks its factory and interrogates every
// "Audio Module Class" with the scan host context.
//
// What it asks of a module, in order: the exports "InitDll" (optional, false
// ends the probe), "ExitDll" (optional, called before unloading) and
// "GetPluginFactory"; the factory's info, class count and each class's info
// (IPluginFactory2 when offered). Per audio class: the component
// (IComponent, IAudioProcessor), initialised with the host context; its edit
// controller, either the component itself or a class of its own that is
// initialised and connected to it both ways; buses, parameters, the root
// unit's program list, 64-bit samples, ARA and the persist-compatibility
// lists. Then disconnect, terminate and release: controller first, then the
// processor, then the component; the factory last.
//
// Counts from the plug-in are capped (classes and units 4096, buses 1024),
// negative counts mean none, and fixed-size texts are read only to their end.
#pragma once

#include <windows.h>

#include <vector>

#include "core/InventoryRecord.h"

// Returns the number of audio classes processed; 0 when the module did not
// load. A failure inside the walk leaves by exception (the integer 0).
int LoadVst3Plugin(InventoryRecord& moduleRecord, std::vector<InventoryRecord>* shellRecords, HWND progress);
