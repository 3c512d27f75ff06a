// Start-up of a run: language, command line, single-instance guard,
// preferences, log, scan folders and the folder defaults.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// Returns 1 to go on, 0 to end the process (exit code 0).
int Initialise(HINSTANCE instance, HINSTANCE previous, const char* commandLine, int showCommand);

// True when another scan holds the mutex; otherwise takes it for this process.
bool IsAnotherScanRunning();

// Reads the folder values of root\keyPath into `list` (lower case, no
// trailing backslash, sorted, no duplicates) and returns the open key.
HKEY ReadFolderList(std::vector<std::wstring>& list, const wchar_t* keyPath);

// Resets the defaults record to its start values, then reads the "Defaults" key.
void LoadFolderDefaults();
