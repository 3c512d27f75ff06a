// The per-module analysis loop of a scan.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "core/InventoryRecord.h"

// Decides, probes, records and touches every candidate; returns 1.
int AnalyseVstPlugins(std::vector<std::wstring>& candidates, std::vector<InventoryRecord>& inventory, HWND progress,
                      DWORD internalCount);

// The sub-plug-in keys of shells are read once for the process; a sandbox
// worker handed a module the scan has handed out before reads them again.
void ForgetShellSubKeys();
