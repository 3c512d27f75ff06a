// The VST 3 probe: loads one module, walks its factory and interrogates every
// "Audio Module Class" with the scan host context.
#pragma once

#include <windows.h>

#include <vector>

#include "inventory/InventoryRecord.h"

// Returns the number of audio classes processed; 0 when the module did not
// load. A failure inside the walk leaves by exception (the integer 0).
int LoadVst3Plugin(InventoryRecord& moduleRecord, std::vector<InventoryRecord>* shellRecords, HWND progress);
