#include "inventory/ClsidGen.h"

// Not derived yet: records keep the ids they have.
void GenerateVSTClsid(InventoryRecord*) {}
