#include "inventory/InventoryStore.h"
void ReadVstData(HKEY, InventoryRecord&, int) {}
void WriteVstData(HKEY, InventoryRecord&, DWORD, int) {}
void LoadInventory(std::vector<InventoryRecord>&) {}
void MakeInventoryKeyName(const wchar_t*, size_t, wchar_t*) {}
