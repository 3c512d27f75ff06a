// How the probe gets hold of a VST 2 effect: the DLL itself with its entry
// points (vst2/Bridge.h for DLLs the scanner cannot load).
#pragma once

#include "core/InventoryRecord.h"
#include "vst2/Vst2Session.h"

// Loads FullPath as stored. On success notes the entry point (a standard one,
// replaced by the private one when present) and the flags it implies in the
// record. False when the DLL did not load.
bool LoadVst2Module(InventoryRecord& record, Vst2Session& session);

// Calls the entry point with the host callback ("Main Call"); null without one.
AEffect* CreateVst2Effect(Vst2Session& session);

// A usable instance: non-null, with a dispatcher and the VST 2 magic.
bool IsVst2Effect(const AEffect* effect);
