// Moves records between memory and their registry keys.
#pragma once

#include <windows.h>

#include <vector>

#include "inventory/InventoryRecord.h"

void ReadVstData(HKEY key, InventoryRecord& record, int partial);
void WriteVstData(HKEY key, InventoryRecord& record, DWORD noPrefix, int updateOnly);
void LoadInventory(std::vector<InventoryRecord>& list);
// Copies at most limit - 1 characters of path and turns "\" into "/".
void MakeInventoryKeyName(const wchar_t* path, size_t limit, wchar_t* out);
