// One invocation from entry to exit: the fixed order of stages and the mode
// table (configuration, full scan, single plug-in, early exits).
#pragma once

#include <windows.h>

// Runs the whole sequence; always returns 0, the process exit code.
int RunSievo(HINSTANCE instance, HINSTANCE previous, const char* commandLine, int showCommand);

// Steps 12 to 22: a full scan, or a single-plug-in run for singlePluginPath
// (a sandbox worker runs one for every module it is handed).
void RunScan();
