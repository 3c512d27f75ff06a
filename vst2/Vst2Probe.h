// The VST 2 probe: loads one DLL (natively or through the bridge), creates
// the effect with our host callback, interrogates it through guarded
// dispatcher calls, closes it and frees the DLL.
#pragma once

#include <windows.h>

#include <vector>

#include "core/InventoryRecord.h"

// Fills `record` (and, for a shell, one record per sub-plug-in in `subRecords`);
// returns the number of plug-ins interrogated. Faults in plug-in code are not
// caught here: the probe guard around it handles them.
DWORD LoadVst2Plugin(InventoryRecord& record, std::vector<InventoryRecord>* subRecords, HWND progress);
