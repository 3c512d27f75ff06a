// Class identifiers of VST 2 plug-ins, derived from the unique id and the
// module's short and long file names.
#pragma once

#include "inventory/InventoryRecord.h"

// Fills clsidPlug, clsidProps, clsidPlugMD5 and clsidPropsMD5; a shell root
// keeps whatever ids it has.
void GenerateVSTClsid(InventoryRecord* record);
