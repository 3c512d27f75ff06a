// Shell plug-ins: one DLL (category kPlugCategShell) that hosts several
// plug-ins behind one entry point.
#pragma once

#include <windows.h>

#include <vector>

#include "core/InventoryRecord.h"
#include "vst2/Vst2Session.h"

// Marks `root` as a shell module and lists its sub-plug-ins in the session.
void BeginShell(AEffect* root, InventoryRecord& record, Vst2Session& session);

// Creates and interrogates every listed sub-plug-in, then closes the root.
void WalkShell(AEffect* root, const InventoryRecord& record, Vst2Session& session,
               std::vector<InventoryRecord>* subRecords, HWND progress);
