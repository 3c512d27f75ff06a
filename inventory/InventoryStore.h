// Moves records between memory and their registry keys.
#pragma once

#include <windows.h>

#include <vector>

#include "core/InventoryRecord.h"
#include "inventory/KeyName.h"

void ReadVstData(HKEY key, InventoryRecord& record, int partial);
void WriteVstData(HKEY key, InventoryRecord& record, DWORD noPrefix, int updateOnly);
void LoadInventory(std::vector<InventoryRecord>& list);
