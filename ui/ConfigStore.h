// What the configuration dialogs save: the scan folders and rescan options,
// an edited plug-in record or the folder defaults, and the inventory reset.
// The dialogs map controls to values and leave the registry to this file.
#pragma once

#include <windows.h>

#include <cstddef>

#include "core/InventoryRecord.h"

// Writes "noPrefix", "rescanExisting" and "rescanFailed" to the configuration key.
void SaveRescanOptions();

// Appends a folder to scanPaths and the Paths key; false when the Paths key
// already has a value of that name (names compare without letter case).
bool AddScanFolder(const wchar_t* folder);
// Deletes entry `index` of scanPaths and its Paths value.
void RemoveScanFolder(size_t index);

// Writes one edited plug-in record to its own inventory key.
void SavePluginRecord(InventoryRecord& record);
// Writes defaultsRecord under "Defaults".
void SaveFolderDefaults();

// Sweeps every record and deletes the Inventory key with all it holds.
void ResetInventory();
