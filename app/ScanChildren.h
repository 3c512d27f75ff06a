// Children of a scan (sandbox workers, sandboxed single-module runs) end with
// it: a host that ends the scan must not be left with a worker spinning in a
// plug-in that never returns, which nothing would ever stop again.
#pragma once

#include <windows.h>

// Called before a child is started: children started after it are born tied
// to this scan.
void PrepareScanChildren();

// Ties the process to this scan's lifetime. Without job objects (or inside a
// job that allows none of its own) the child is simply not tied.
void TieToScan(HANDLE process);
