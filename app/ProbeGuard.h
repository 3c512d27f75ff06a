// The plug-in probe guard: everything a module's code can do to the scan ends
// here. A fault is logged, reported (dialog 114, and the host in background
// mode) and the user decides whether the plug-in stays enabled.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "core/InventoryRecord.h"

// Probes one module in this process and returns the number of plug-ins it
// yields; clears isBad when the probe returns. (A sandboxing scan hands its
// modules to workers instead, app/SandboxWorkers.h.)
DWORD GuardedProbe(InventoryRecord* record, std::vector<InventoryRecord>* subRecords, HWND progress);

// Faults of plug-in code this process has contained so far.
DWORD ContainedProbeFaults();

// Runs this program again for one module and waits for it to end.
void RunSandboxedProbe(const InventoryRecord& record);

// What running this program again takes: its path and folder (false when
// the command line names none), the flag that keeps the host's notification
// group, and how long a sandboxed module may take (INFINITE for no limit).
bool ProgramToRunAgain(std::wstring* exe, std::wstring* folder);
std::wstring ToastGuidFlag();
DWORD SandboxTimeLimitMs();
