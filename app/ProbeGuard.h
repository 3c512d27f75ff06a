// The plug-in probe guard: everything a module's code can do to the scan ends
// here. A fault is logged, reported (dialog 114, and the host in background
// mode) and the user decides whether the plug-in stays enabled.
#pragma once

#include <windows.h>

#include <vector>

#include "core/InventoryRecord.h"

// Probes one module (in a sandboxed child when sandboxing is on) and returns
// the number of plug-ins it yields; clears isBad when the probe returns.
DWORD GuardedProbe(InventoryRecord* record, std::vector<InventoryRecord>* subRecords, HWND progress);

// Runs this program again for one module and waits for it to end.
void RunSandboxedProbe(const InventoryRecord& record);
