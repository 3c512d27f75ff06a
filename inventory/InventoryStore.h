// Moves records between memory and their registry keys.
#pragma once

#include <windows.h>

#include <vector>

#include "core/InventoryRecord.h"
#include "inventory/KeyName.h"
#include "inventory/RegistryValues.h"

// With `stored`, a partial read remembers the values an update write sets, and
// an update write through the same StoredValues leaves out what the key
// already holds.
void ReadVstData(HKEY key, InventoryRecord& record, int partial, StoredValues* stored = nullptr);
void WriteVstData(HKEY key, InventoryRecord& record, DWORD noPrefix, int updateOnly, StoredValues* stored = nullptr);
void LoadInventory(std::vector<InventoryRecord>& list);
