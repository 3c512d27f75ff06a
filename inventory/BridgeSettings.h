// The two bridge settings the properties dialog offers: how many Gantry
// server processes the host may start, and whether jBridge is installed.
#pragma once

#include <windows.h>

#include <cstdint>

constexpr DWORD kMaxGantryServers = 32;

// "GantryServerCount" under HKEY_CURRENT_USER\<configuration key>; below 1 or
// absent, one server per 2 GiB of physical memory (rounded up); at most 32.
// 0 when the configuration key does not exist for the current user.
DWORD GantryServerCount();

// HKLM "Software\JBridge" "Proxy64" names an existing file.
bool IsJBridgeInstalled();

// Total physical memory in bytes. Tests replace the source to check the
// count for machines they do not run on; null restores the real one.
using PhysicalMemoryFn = uint64_t (*)();
void SetPhysicalMemorySource(PhysicalMemoryFn source);
