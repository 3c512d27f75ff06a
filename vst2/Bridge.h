// Bridged loading: a DLL the scanner cannot load itself (typically a 32-bit
// plug-in) is handed to the maker's bridge "Gantry.dll" beside the program,
// whose LoadVST32 creates the effect with our host callback.
#pragma once

#include "core/InventoryRecord.h"
#include "vst2/Vst2Session.h"

// Loads the bridge (its path is built once per process) into session.module,
// where it takes the plug-in's place and is freed at the end of the probe,
// keeps its LoadVST32 in session.bridgeLoad and creates the plug-in through
// it. Null when the bridge does not load, lacks the export or creates nothing.
AEffect* LoadThroughBridge(const InventoryRecord& record, Vst2Session& session);

// One more instance through the bridge: for a shell, the sub-plug-in whose id
// the caller has made the current plug-in id. Null without a bridge export.
AEffect* CreateThroughBridge(const InventoryRecord& record, const Vst2Session& session);
